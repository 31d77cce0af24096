#pragma once

#include <cstdint>

namespace quil {

// The matcher's tuning. Scores are natural logarithms of likelihood
// ratios: how much likelier a code is where the song truly plays than at a
// random frame of the catalogue.
struct MatcherSettings {
    // Codeword candidates per row that clients are asked for (m).
    int32_t candidates = 32;
    // Candidates per row that look up pair keys: ranks below this, in both
    // rows of a pair, fetch postings.
    int32_t lookupRanks = 4;
    // Hops by which a segment may sit off its song's alignment: the hop
    // grids of client and catalogue differ by a fraction of a hop.
    int32_t tolerance = 1;
    // Probability that a row's true code is the client's candidate of rank
    // k, by rank (the tail beyond the table shares kTailShare), and that it
    // is not among the candidates at all; measured on noisy excerpts.
    static constexpr int32_t kRankTable = 8;
    double rankShare[kRankTable] = {0.42, 0.13, 0.07, 0.045, 0.035, 0.028, 0.022, 0.018};
    double tailShare = 0.12;  // ranks kRankTable to m - 1, spread evenly
    double missShare = 0.11;
    // A row's score is capped here, so that one rare code cannot decide.
    double rowCap = 7.0;
    // A segment adds max(0, evidence - bias) to a hypothesis, at most
    // segmentCap, with bias = segmentBiasShare x ln(catalogue frames): chance
    // agreements of a row or two, and the stretches of stationary sound
    // that many recordings share, stay below the bias. Its evidence is at
    // most the surprise of its score among the frames, ln(frames over
    // look-alikes), so the bias grows with the same logarithm.
    double segmentBiasShare = 0.6;
    double segmentCap = 28.0;
    // Partial score that promotes an offset to a full scoring.
    double promoteScore = 2.0;
    // The decision: the best song's score must reach
    //   threshold + thresholdPerLogFrame x ln(catalogue frames)
    // (a chance hit is likelier among more frames), and lead the best
    // other song (that is not a duplicate of it) by
    //   marginPerLogFrame x ln(catalogue frames) + marginShare x that song's score
    // (the best of many wrong songs grows with the evidence heard, and so
    // does its lead over the next one). A few seconds of look-alike sound
    // in another recording make a burst of evidence that the threshold
    // alone would take for an answer.
    double threshold = 0.0;
    double thresholdPerLogFrame = 1.6;
    double marginPerLogFrame = 1.3;
    double marginShare = 1.0;
    // A second, patient score per contender for faint sound: each segment
    // adds its evidence less a smaller bias (patientBiasShare x ln(frames)),
    // and loses up to patientFloor when it disagrees, so that many weak
    // agreements add up while a wrong alignment sinks. It decides with its
    // own rule, the same in form: the best song's patient score reaches
    // patientThresholdPerLogFrame x ln(frames) and leads the best other
    // song by patientMarginPerLogFrame x ln(frames) + patientMarginShare x
    // that song's score (its score above zero: sunk songs ask the base
    // margin alone). The bias and bars were chosen, with each row's sound
    // counted once (below), against excerpts of twelve games' music not in
    // the catalogues: none came nearer than 0.76 of the bars, with about as
    // many noisy excerpts named as when every segment counted in full (a
    // bias of 0.4 then cost 4 % of them, 0.2 more).
    // Either rule names the song; measured on held-out music, neither alone
    // keeps both the quick clean decisions and the noisy recall.
    double patientBiasShare = 0.3;
    double patientFloor = -1.0;
    // A patient segment's bias is at least what the same song scores a few
    // hops beside the alignment (the median over shifts of 4 to 29 hops):
    // sound of the same style or held chords agree with a look-alike song
    // at every offset near the alignment, true music only at its own; a
    // true match keeps its sharp peak. 0 turns it off.
    int32_t patientBackground = 1;
    // Consecutive segments hear much of the same sound again: the rows of a
    // segment start kRowSpacing hops apart, so rows 1 to 3 of one are rows 0
    // to 2 of a segment that many hops later. A segment's positive patient
    // evidence is weighed by the mean over its rows of 1 for a row whose
    // sound the contender has not counted yet and patientRepeatShare for one
    // starting within patientRepeatReach hops of a row counted before (half
    // a row's hops: mostly the same sound). Counted in full, three seconds of
    // sound that another recording shares with a catalogued one passed
    // patient bars of 3 and 3.2 ln(frames) under heavy noise; counted once,
    // it came to 0.4 of them. Shares of 0.25 and 0.5 kept less recall at
    // equal safety.
    double patientRepeatShare = 0.0;
    int32_t patientRepeatReach = 4;
    double patientThresholdPerLogFrame = 1.5;
    double patientMarginPerLogFrame = 3.0;
    double patientMarginShare = 0.5;
    // One hypothesis that leads both rankings names its song once it
    // reaches jointShare of both rules' bars (threshold, margin base and
    // margin share all scaled together): other music seldom leads both
    // scores at one alignment, since the patient score's background and
    // once-counted rows take back much of what a burst of look-alike sound
    // gives the quick score. Against excerpts of twelve games' music not in
    // the catalogues, half the bars named one (three seconds of sound it
    // shares with a catalogued track, under heavy noise); that excerpt came
    // to 0.82 of the bars at 0.7. 1 or more turns it off.
    double jointShare = 0.7;
    // Noisy tracks of the catalogue that a segment is also scored against
    // (at most as many as the catalogue holds; 0: the clean codes alone).
    int32_t noisyTracks = 2;
    // Contenders kept per session; the weakest are dropped beyond this.
    int32_t maxContenders = 256;
};

}  // namespace quil
