// harkbox-matcher-eval: measures the matcher's recall, wrong answers and
// decision times on noisy excerpts, the way the live service would decide.
// Excerpts start at seeded random sample offsets (so the client's hop grid
// lies anywhere against the catalogue's), white Gaussian noise is added at
// each SNR relative to the excerpt's RMS, and each excerpt runs through the
// client's analysis into one matcher session (QueryReplay).
//
//   harkbox-matcher-eval --catalogue C.db --positives DIR... --negatives DIR...
//       [--seconds 20,10] [--snr clean,10,5,0] [--per-file 3] [--negatives-count 200]
//       [--seed 1] [--trace trace.tsv] [--set key=value ...] [--write-excerpts DIR]

#include <sndfile.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "audiofile/FileSampleSource.h"
#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Fingerprint.h"
#include "server/CatalogueLoader.h"
#include "server/Indexer.h"
#include "server/MatchSession.h"
#include "server/Matcher.h"
#include "server/QueryReplay.h"
#include "server/Sha256.h"
#include "server/SqliteCatalogue.h"

using namespace quil;

namespace {

// Samples held in memory, served like a live source.
class BufferSource : public SampleSource {
  public:
    explicit BufferSource(const std::vector<float>& samples) : samples_(samples) {
        sampleRate = kAnalysisRate;
        open = true;
    }
    int Read(int32_t count, float* out) override {
        if (position_ >= samples_.size())
            return 1;
        size_t take = std::min<size_t>(static_cast<size_t>(count), samples_.size() - position_);
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), take, out);
        std::fill(out + take, out + count, 0.0f);
        position_ += take;
        return 0;
    }

  private:
    const std::vector<float>& samples_;
    size_t position_ = 0;
};

bool Decode(const std::string& path, std::vector<float>& samples) {
    FileSampleSource source;
    if (source.Open(path) != 0)
        return false;
    samples.clear();
    std::vector<float> block(1 << 15);
    while (source.Read(static_cast<int32_t>(block.size()), block.data()) == 0)
        samples.insert(samples.end(), block.begin(), block.end());
    // Drop the zeros that padded the last block.
    if (source.TotalLength() > 0 && samples.size() > static_cast<size_t>(source.TotalLength()))
        samples.resize(static_cast<size_t>(source.TotalLength()));
    return !samples.empty();
}

struct Excerpt {
    std::string path;
    int32_t trueSong = -1;  // index in the matcher's index; -1 for a negative
    double seconds = 0;     // length
    std::string cell;       // "20 s 5 dB"
    double offsetSeconds = 0;
    std::vector<float> samples;
};

struct Outcome {
    std::string answer;  // title of the song named
    bool answered = false;
    bool right = false;
    // Another recording of the same music named at the same place (a
    // remaster, an enhanced release): its codes there equal the true
    // song's. Counted apart, neither right nor wrong.
    bool copy = false;
    double seconds = 0;
    // For music not in the catalogue: the largest share of each rule's
    // bars its leader reached (1 or more: it would have been named).
    double quickReach = 0;
    double patientReach = 0;
    double jointReach = 0;  // the smaller reach when one hypothesis leads both rankings
};

// How near a ranking's leader came to a decision rule: the largest factor
// by which the rule's threshold and both terms of its margin could all be
// scaled and still let it pass. The best other song counts as the
// runner-up even where the matcher would take it for a duplicate, so this
// errs towards nearness.
double RuleReach(const std::vector<MatchCandidate>& ranking, bool patient, double threshold,
                 double marginBase, double marginShare) {
    if (ranking.empty())
        return 0;
    auto scoreOf = [patient](const MatchCandidate& c) {
        return patient ? c.patientScore : c.score;
    };
    const double first = scoreOf(ranking[0]);
    const double second = ranking.size() > 1 ? scoreOf(ranking[1]) : 0.0;
    if (first <= 0)
        return 0;
    return std::min(first / threshold,
                    (first - second) / (marginBase + marginShare * std::max(second, 0.0)));
}

void AddNoise(std::vector<float>& samples, double snrDb, std::mt19937_64& random) {
    double power = 0;
    for (float s : samples)
        power += static_cast<double>(s) * s;
    const double rms = std::sqrt(power / std::max<size_t>(samples.size(), 1));
    std::normal_distribution<double> noise(0.0, rms / std::pow(10.0, snrDb / 20.0));
    for (float& s : samples)
        s = static_cast<float>(s + noise(random));
}

void WriteWav(const std::string& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return;
    // Keep the noise's peaks: scale down only when they would clip.
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    std::vector<float> scaled(samples);
    if (peak > 0.99f)
        for (float& s : scaled)
            s *= 0.99f / peak;
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_float(file, scaled.data(), static_cast<sf_count_t>(scaled.size()));
    sf_close(file);
}

bool ApplySetting(MatcherSettings& settings, const std::string& assignment) {
    auto equals = assignment.find('=');
    if (equals == std::string::npos)
        return false;
    std::string key = assignment.substr(0, equals);
    double value = std::atof(assignment.c_str() + equals + 1);
    std::map<std::string, double*> doubles = {
        {"rowCap", &settings.rowCap},
        {"segmentBiasShare", &settings.segmentBiasShare},
        {"patientBiasShare", &settings.patientBiasShare},
        {"patientFloor", &settings.patientFloor},
        {"patientThreshold", &settings.patientThresholdPerLogFrame},
        {"patientMarginPerLogFrame", &settings.patientMarginPerLogFrame},
        {"patientMarginShare", &settings.patientMarginShare},
        {"segmentCap", &settings.segmentCap},
        {"promoteScore", &settings.promoteScore},
        {"threshold", &settings.threshold},
        {"thresholdPerLogFrame", &settings.thresholdPerLogFrame},
        {"marginPerLogFrame", &settings.marginPerLogFrame},
        {"marginShare", &settings.marginShare},
        {"tailShare", &settings.tailShare},
        {"missShare", &settings.missShare},
        {"patientRepeatShare", &settings.patientRepeatShare},
        {"jointShare", &settings.jointShare}};
    if (doubles.count(key)) {
        *doubles[key] = value;
        return true;
    }
    if (key == "candidates")
        settings.candidates = static_cast<int32_t>(value);
    else if (key == "lookupRanks")
        settings.lookupRanks = static_cast<int32_t>(value);
    else if (key == "patientBackground")
        settings.patientBackground = static_cast<int32_t>(value);
    else if (key == "patientRepeatReach")
        settings.patientRepeatReach = static_cast<int32_t>(value);
    else if (key == "noisyTracks")
        settings.noisyTracks = static_cast<int32_t>(value);
    else if (key == "tolerance")
        settings.tolerance = static_cast<int32_t>(value);
    else if (key.rfind("rank", 0) == 0 && key.size() == 5 && key[4] >= '0' && key[4] <= '7')
        settings.rankShare[key[4] - '0'] = value;
    else
        return false;
    return true;
}

// Ranks of the true codes and segment scores at the true alignment.
struct CalibrationStats {
    std::vector<double> raw;
    size_t ranks[7] = {};
    void Add(double score, const int32_t* rowRanks, int32_t m) {
        raw.push_back(score);
        for (int row = 0; row < 4; ++row) {
            const int32_t r = rowRanks[row];
            ++ranks[r >= m ? 6 : r < 4 ? r : r < 8 ? 4 : 5];
        }
    }
    void Merge(const CalibrationStats& other) {
        raw.insert(raw.end(), other.raw.begin(), other.raw.end());
        for (int i = 0; i < 7; ++i)
            ranks[i] += other.ranks[i];
    }
    void Print(const std::string& cell, double bias) {
        std::sort(raw.begin(), raw.end());
        size_t rows = 0, above = 0;
        double excess = 0;
        for (size_t r : ranks)
            rows += r;
        for (double v : raw)
            if (v > bias) {
                ++above;
                excess += v - bias;
            }
        const size_t n = std::max<size_t>(raw.size(), 1);
        std::printf("%-12s %6zu ", cell.c_str(), raw.size());
        for (size_t r : ranks)
            std::printf(" %4.1f", 100.0 * static_cast<double>(r) /
                                      static_cast<double>(std::max<size_t>(rows, 1)));
        std::printf("   %5.1f%%  %6.2f   %6.1f %6.1f %6.1f\n", 100.0 * above / n, excess / n,
                    raw.empty() ? 0 : raw[n / 4], raw.empty() ? 0 : raw[n / 2],
                    raw.empty() ? 0 : raw[3 * n / 4]);
    }
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"harkbox-matcher-eval: recall, wrong answers and decision times of the matcher"};
    std::string cataloguePath;
    std::vector<std::string> positives, negatives, settingsText;
    std::vector<double> lengths{20, 10};
    std::vector<std::string> snrs{"clean", "10", "5", "0"};
    int perFile = 3;
    int negativeCount = 200;
    uint64_t seed = 1;
    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string tracePath, excerptDir;
    app.add_option("--catalogue", cataloguePath)->required();
    app.add_option("--positives", positives, "files or folders of catalogued recordings")
        ->required();
    app.add_option("--negatives", negatives, "files or folders of recordings not in the catalogue");
    app.add_option("--seconds", lengths)->delimiter(',');
    app.add_option("--snr", snrs)->delimiter(',');
    app.add_option("--per-file", perFile);
    app.add_option("--negatives-count", negativeCount);
    app.add_option("--seed", seed);
    app.add_option("--threads", threads);
    app.add_option("--trace", tracePath, "per-segment scores of the true and best other song");
    app.add_option("--set", settingsText, "matcher setting key=value");
    app.add_option("--write-excerpts", excerptDir, "also write each excerpt as a WAV file");
    int dumpExcerpt = -1;
    bool calibrate = false;
    app.add_flag("--calibrate", calibrate,
                 "per cell: ranks of the true codes and segment scores at the true alignment");
    app.add_option("--dump", dumpExcerpt, "print the evidence of one excerpt, segment by segment");
    CLI11_PARSE(app, argc, argv);

    MatcherSettings settings;
    for (const std::string& text : settingsText) {
        if (!ApplySetting(settings, text)) {
            std::fprintf(stderr, "unknown setting %s\n", text.c_str());
            return 2;
        }
    }
    SqliteCatalogue store;
    if (store.Open(cataloguePath, false) != 0) {
        std::fprintf(stderr, "%s\n", store.ErrorText().c_str());
        return 2;
    }
    FingerprintIndex index;
    std::string error;
    if (LoadIndex(store, index, error) != 0) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    std::map<std::string, int32_t> songByHash;
    for (size_t i = 0; i < index.songCount(); ++i)
        songByHash[index.song(i).contentHash] = static_cast<int32_t>(i);
    Matcher matcher(std::move(index), settings);
    std::fprintf(stderr, "catalogue: %zu songs, %zu frames, threshold %.1f\n",
                 matcher.index().songCount(), matcher.index().songFrames(), matcher.Threshold());

    std::vector<std::string> missing;
    std::vector<std::string> positiveFiles = Indexer::ExpandPaths(positives, missing);
    std::vector<std::string> negativeFiles = Indexer::ExpandPaths(negatives, missing);

    // Excerpt plans: (file, start sample, length, cell, noise).
    std::vector<Excerpt> excerpts;
    auto cut = [&](const std::string& path, int32_t song, int count) {
        // Each file draws from its own generator, so that its excerpts do
        // not depend on which other files take part.
        std::mt19937_64 random(seed ^ std::hash<std::string>{}(path));
        std::vector<float> samples;
        if (!Decode(path, samples)) {
            std::fprintf(stderr, "cannot decode %s\n", path.c_str());
            return;
        }
        for (double length : lengths) {
            const size_t size = static_cast<size_t>(length * kAnalysisRate);
            if (samples.size() <= size)
                continue;
            for (int i = 0; i < count; ++i) {
                std::uniform_int_distribution<size_t> start(0, samples.size() - size);
                const size_t from = start(random);
                for (const std::string& snr : snrs) {
                    Excerpt excerpt;
                    excerpt.path = path;
                    excerpt.trueSong = song;
                    excerpt.seconds = length;
                    excerpt.offsetSeconds = static_cast<double>(from) / kAnalysisRate;
                    excerpt.cell = std::to_string(static_cast<int>(length)) + " s " +
                                   (snr == "clean" ? std::string("clean") : snr + " dB");
                    excerpt.samples.assign(
                        samples.begin() + static_cast<std::ptrdiff_t>(from),
                        samples.begin() + static_cast<std::ptrdiff_t>(from + size));
                    if (snr != "clean")
                        AddNoise(excerpt.samples, std::atof(snr.c_str()), random);
                    excerpts.push_back(std::move(excerpt));
                }
            }
        }
    };
    for (const std::string& path : positiveFiles) {
        std::string hash;
        if (!Sha256File(path, hash) || !songByHash.count(hash)) {
            std::fprintf(stderr, "not in the catalogue, skipped: %s\n", path.c_str());
            continue;
        }
        cut(path, songByHash[hash], perFile);
    }
    const size_t positiveExcerpts = excerpts.size();
    if (!negativeFiles.empty()) {
        // Spread the negatives' excerpts over their files and cells.
        const size_t cells = lengths.size() * snrs.size();
        int perNegative = static_cast<int>((negativeCount + negativeFiles.size() * cells - 1) /
                                           (negativeFiles.size() * cells));
        for (const std::string& path : negativeFiles)
            cut(path, -1, std::max(perNegative, 1));
    }
    std::fprintf(stderr, "excerpts: %zu positive, %zu negative\n", positiveExcerpts,
                 excerpts.size() - positiveExcerpts);
    if (!excerptDir.empty()) {
        std::ofstream list(excerptDir + "/excerpts.tsv");
        for (size_t i = 0; i < excerpts.size(); ++i) {
            const std::string name = excerptDir + "/excerpt-" + std::to_string(i) + ".wav";
            WriteWav(name, excerpts[i].samples);
            const Excerpt& e = excerpts[i];
            list << name << '\t' << e.cell << '\t'
                 << (e.trueSong >= 0 ? matcher.index().song(static_cast<size_t>(e.trueSong)).title
                                     : std::string("-"))
                 << '\n';
        }
    }

    std::vector<Outcome> outcomes(excerpts.size());
    std::vector<double> packetSeconds;
    std::mutex traceMutex;
    std::ofstream trace;
    if (!tracePath.empty()) {
        trace.open(tracePath);
        trace << "excerpt\tcell\tpositive\tframe\tseconds\ttrue_score\tfirst\tsecond\tleader_true"
                 "\ttrue_patient\tpatient_first\tpatient_second\tpatient_leader_true"
                 "\tleader_patient\tpatient_leader_score\n";
    }
    std::map<std::string, CalibrationStats> calibration;
    const double logFrames = std::log(static_cast<double>(matcher.index().songFrames()));
    const double bias = settings.segmentBiasShare * logFrames;
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < excerpts.size();) {
            if (dumpExcerpt >= 0 && static_cast<int>(i) != dumpExcerpt)
                continue;
            const Excerpt& excerpt = excerpts[i];
            BufferSource source(excerpt.samples);
            std::function<void(const IdentifySession&, int32_t)> observe;
            std::vector<std::string> lines;
            if (!tracePath.empty()) {
                observe = [&](const IdentifySession& session, int32_t frame) {
                    auto ranking = static_cast<const MatchSession&>(session).Ranking();
                    double trueScore = 0;
                    for (const MatchCandidate& c : ranking)
                        if (c.song == excerpt.trueSong)
                            trueScore = c.score;
                    const double first = ranking.empty() ? 0 : ranking[0].score;
                    const double second = ranking.size() < 2 ? 0 : ranking[1].score;
                    const int leaderTrue = !ranking.empty() && ranking[0].song == excerpt.trueSong;
                    auto patient = static_cast<const MatchSession&>(session).Ranking(true);
                    // Also the quick leader's patient score and the patient
                    // leader's quick score: how the two rules see each
                    // other's choice.
                    double truePatient = 0, leaderPatient = 0, patientLeaderScore = 0;
                    for (const MatchCandidate& c : patient) {
                        if (c.song == excerpt.trueSong)
                            truePatient = c.patientScore;
                        if (!ranking.empty() && c.song == ranking[0].song)
                            leaderPatient = c.patientScore;
                    }
                    for (const MatchCandidate& c : ranking)
                        if (!patient.empty() && c.song == patient[0].song)
                            patientLeaderScore = c.score;
                    char line[320];
                    std::snprintf(line, sizeof(line),
                                  "%zu\t%s\t%d\t%d\t%.3f\t%.2f\t%.2f\t%.2f\t%d\t%.2f\t%.2f\t%.2f\t%"
                                  "d\t%.2f\t%.2f\n",
                                  i, excerpt.cell.c_str(), excerpt.trueSong >= 0 ? 1 : 0, frame,
                                  (frame + kSegmentHops + 1) * kHopSize / kAnalysisRate, trueScore,
                                  first, second, leaderTrue, truePatient,
                                  patient.empty() ? 0 : patient[0].patientScore,
                                  patient.size() < 2 ? 0 : patient[1].patientScore,
                                  !patient.empty() && patient[0].song == excerpt.trueSong ? 1 : 0,
                                  leaderPatient, patientLeaderScore);
                    lines.push_back(line);
                };
            }
            if (static_cast<int>(i) == dumpExcerpt) {
                std::fprintf(stderr, "excerpt %zu: %s at %.2f s, %s\n", i, excerpt.path.c_str(),
                             excerpt.offsetSeconds, excerpt.cell.c_str());
                observe = [&](const IdentifySession& session, int32_t frame) {
                    auto ranking = static_cast<const MatchSession&>(session).Ranking();
                    std::fprintf(stderr, "frame %d:", frame);
                    for (size_t k = 0; k < ranking.size() && k < 3; ++k) {
                        const MatchCandidate& c = ranking[k];
                        SegmentCodes codes{};
                        matcher.index().CodesAt(c.offset + frame, codes);
                        std::fprintf(
                            stderr, "  [%s @%lld %.1f codes %d %d %d %d]",
                            matcher.index().song(static_cast<size_t>(c.song)).title.c_str(),
                            static_cast<long long>(c.offset), c.score, codes.rows[0], codes.rows[1],
                            codes.rows[2], codes.rows[3]);
                    }
                    std::fprintf(stderr, "\n");
                };
            }
            // The client's segments first, then the session over them, so
            // that each code packet's handling is timed alone.
            struct Collected {
                std::vector<int32_t> frames;
                std::vector<uint8_t> codes;
                int32_t m = 0;
            } collected;
            FingerprintOptions options;
            options.candidates = matcher.candidates();
            ComputeFingerprint(
                source, &collected,
                [](void* context, int32_t m, const uint8_t* codes, const double*, int32_t frame) {
                    auto* c = static_cast<Collected*>(context);
                    c->m = m;
                    c->frames.push_back(frame);
                    c->codes.insert(c->codes.end(), codes, codes + 4 * m);
                    return 0;
                },
                &options);
            if (calibrate && excerpt.trueSong >= 0) {
                const int64_t start =
                    matcher.index().base(static_cast<size_t>(excerpt.trueSong)) +
                    std::llround(excerpt.offsetSeconds * kAnalysisRate / kHopSize);
                CalibrationStats stats;
                for (size_t k = 0; k < collected.frames.size(); ++k) {
                    const uint8_t* codes = collected.codes.data() + 4 * collected.m * k;
                    double best = -1e9;
                    int32_t bestRanks[4] = {};
                    for (int t = -1; t <= 1; ++t) {
                        SegmentCodes truth;
                        if (!matcher.index().CodesAt(start + collected.frames[k] + t, truth))
                            continue;
                        double score = 0;
                        int32_t ranks[4];
                        for (int row = 0; row < 4; ++row) {
                            ranks[row] = collected.m;
                            for (int j = 0; j < collected.m; ++j)
                                if (codes[row * collected.m + j] == truth.rows[row]) {
                                    ranks[row] = j;
                                    break;
                                }
                            score += matcher.RowScore(ranks[row], row, truth.rows[row]);
                        }
                        if (score > best) {
                            best = score;
                            std::copy_n(ranks, 4, bestRanks);
                        }
                    }
                    if (best < -1e8)
                        continue;
                    stats.Add(best, bestRanks, collected.m);
                }
                std::lock_guard lock(traceMutex);
                calibration[excerpt.cell].Merge(stats);
            }
            if (excerpt.trueSong < 0) {
                // Chained before any tracing observer.
                auto inner = observe;
                observe = [&, inner](const IdentifySession& session, int32_t frame) {
                    const auto& match = static_cast<const MatchSession&>(session);
                    Outcome& outcome = outcomes[i];
                    const auto quick = match.Ranking();
                    const auto patient = match.Ranking(true);
                    const double quickReach =
                        RuleReach(quick, false, matcher.Threshold(),
                                  settings.marginPerLogFrame * logFrames, settings.marginShare);
                    const double patientReach = RuleReach(
                        patient, true, settings.patientThresholdPerLogFrame * logFrames,
                        settings.patientMarginPerLogFrame * logFrames, settings.patientMarginShare);
                    outcome.quickReach = std::max(outcome.quickReach, quickReach);
                    outcome.patientReach = std::max(outcome.patientReach, patientReach);
                    if (!quick.empty() && !patient.empty() && quick[0].song == patient[0].song &&
                        std::abs(quick[0].offset - patient[0].offset) <= settings.tolerance)
                        outcome.jointReach =
                            std::max(outcome.jointReach, std::min(quickReach, patientReach));
                    if (inner)
                        inner(session, frame);
                };
            }
            ReplayResult result;
            auto session = matcher.NewSession();
            std::vector<double> handling;
            for (size_t k = 0; k < collected.frames.size() && !result.answer; ++k) {
                QuerySegment segment{static_cast<uint16_t>(collected.frames[k] & 0xFFFF),
                                     collected.m, collected.codes.data() + 4 * collected.m * k};
                const auto begin = std::chrono::steady_clock::now();
                result.answer = session->Add(segment);
                handling.push_back(
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - begin)
                        .count());
                if (observe)
                    observe(*session, collected.frames[k]);
                result.seconds =
                    (collected.frames[k] + kSegmentHops + 1) * kHopSize / kAnalysisRate;
            }
            {
                std::lock_guard lock(traceMutex);
                packetSeconds.insert(packetSeconds.end(), handling.begin(), handling.end());
            }
            Outcome& outcome = outcomes[i];
            outcome.answered = result.answer.has_value();
            if (result.answer)
                outcome.answer = result.answer->song.title + " @" +
                                 std::to_string(static_cast<int>(result.answer->offsetSeconds));
            outcome.seconds = result.seconds;
            if (result.answer)
                outcome.right =
                    result.answer->song.id ==
                    (excerpt.trueSong >= 0
                         ? matcher.index().song(static_cast<size_t>(excerpt.trueSong)).id
                         : -1);
            if (result.answer && !outcome.right && excerpt.trueSong >= 0) {
                const FingerprintIndex& catalogue = matcher.index();
                const int64_t trueStart =
                    catalogue.base(static_cast<size_t>(excerpt.trueSong)) +
                    std::llround(excerpt.offsetSeconds * kAnalysisRate / kHopSize);
                int64_t answerStart = -1;
                for (size_t s = 0; s < catalogue.songCount(); ++s)
                    if (catalogue.song(s).id == result.answer->song.id)
                        answerStart =
                            catalogue.base(s) +
                            std::llround(result.answer->offsetSeconds * kAnalysisRate / kHopSize);
                int compared = 0, equal = 0;
                for (size_t k = 0; answerStart >= 0 && k < collected.frames.size(); ++k) {
                    SegmentCodes truth;
                    if (!catalogue.CodesAt(trueStart + collected.frames[k], truth))
                        continue;
                    int best = 0;
                    for (int t = -1; t <= 1; ++t) {
                        SegmentCodes named;
                        if (!catalogue.CodesAt(answerStart + collected.frames[k] + t, named))
                            continue;
                        int same = 0;
                        for (int row = 0; row < 4; ++row)
                            same += truth.rows[row] == named.rows[row];
                        best = std::max(best, same);
                    }
                    compared += 4;
                    equal += best;
                }
                outcome.copy = compared >= 8 && equal >= 0.3 * compared;
            }
            if (!lines.empty()) {
                std::lock_guard lock(traceMutex);
                for (const std::string& line : lines)
                    trace << line;
            }
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();

    if (calibrate) {
        std::printf(
            "%-12s %6s  rank share 0 / 1 / 2 / 3 / 4-7 / 8+ / miss   raw>bias  mean(raw-bias)+  "
            "raw q25/50/75\n",
            "cell", "segs");
        for (auto& [cell, stats] : calibration)
            stats.Print(cell, bias);
    }
    // The table: one row per cell.
    std::vector<std::string> cells;
    for (double length : lengths)
        for (const std::string& snr : snrs)
            cells.push_back(std::to_string(static_cast<int>(length)) + " s " +
                            (snr == "clean" ? std::string("clean") : snr + " dB"));
    std::printf("%-12s %8s %8s %6s %8s %10s\n", "cell", "excerpts", "recall%", "wrong", "median_s",
                "negatives");
    int totalWrong = 0, totalNegativeAnswers = 0, totalCopies = 0;
    for (const std::string& cell : cells) {
        int count = 0, right = 0, wrong = 0, negativeExcerpts = 0, negativeAnswers = 0;
        int copies = 0;
        std::vector<double> times;
        for (size_t i = 0; i < excerpts.size(); ++i) {
            if (excerpts[i].cell != cell)
                continue;
            if (excerpts[i].trueSong < 0) {
                ++negativeExcerpts;
                negativeAnswers += outcomes[i].answered;
                if (outcomes[i].answered)
                    std::fprintf(stderr, "negative answered: excerpt %zu, %s at %.1f s (%s): %s\n",
                                 i, excerpts[i].path.c_str(), excerpts[i].offsetSeconds,
                                 cell.c_str(), outcomes[i].answer.c_str());
                continue;
            }
            ++count;
            if (outcomes[i].right) {
                ++right;
                times.push_back(outcomes[i].seconds);
            } else if (outcomes[i].copy) {
                ++copies;
                std::fprintf(stderr, "copy: %s at %.1f s (%s): %s\n", excerpts[i].path.c_str(),
                             excerpts[i].offsetSeconds, cell.c_str(), outcomes[i].answer.c_str());
            } else if (outcomes[i].answered) {
                ++wrong;
                std::fprintf(stderr, "wrong: %s at %.1f s (%s): %s\n", excerpts[i].path.c_str(),
                             excerpts[i].offsetSeconds, cell.c_str(), outcomes[i].answer.c_str());
            } else {
                std::fprintf(stderr, "unnamed: excerpt %zu, %s at %.1f s (%s)\n", i,
                             excerpts[i].path.c_str(), excerpts[i].offsetSeconds, cell.c_str());
            }
        }
        std::sort(times.begin(), times.end());
        double median = times.empty() ? 0 : times[times.size() / 2];
        std::printf("%-12s %8d %8.1f %6d %8.2f %5d of %d\n", cell.c_str(), count,
                    count ? 100.0 * right / count : 0.0, wrong, median, negativeAnswers,
                    negativeExcerpts);
        totalWrong += wrong;
        totalCopies += copies;
        totalNegativeAnswers += negativeAnswers;
    }
    std::printf("wrong answers: %d, negatives answered: %d, other releases of the same music: %d\n",
                totalWrong, totalNegativeAnswers, totalCopies);
    // The margin kept against answering other music: how far each rule's
    // bars could come down before its nearest wrong leader passed.
    size_t nearestQuick = excerpts.size(), nearestPatient = excerpts.size(),
           nearestJoint = excerpts.size();
    for (size_t i = 0; i < excerpts.size(); ++i) {
        if (excerpts[i].trueSong >= 0)
            continue;
        if (nearestQuick == excerpts.size() ||
            outcomes[i].quickReach > outcomes[nearestQuick].quickReach)
            nearestQuick = i;
        if (nearestPatient == excerpts.size() ||
            outcomes[i].patientReach > outcomes[nearestPatient].patientReach)
            nearestPatient = i;
        if (nearestJoint == excerpts.size() ||
            outcomes[i].jointReach > outcomes[nearestJoint].jointReach)
            nearestJoint = i;
    }
    if (nearestQuick < excerpts.size()) {
        auto name = [&](size_t i) {
            return excerpts[i].path + " at " +
                   std::to_string(std::lround(excerpts[i].offsetSeconds)) + " s, " +
                   excerpts[i].cell;
        };
        std::printf(
            "nearest other music came to an answer: quick rule %.2f of its bars (%s), "
            "patient rule %.2f (%s), joint rule %.2f (%s; both bars scaled to %.2f)\n",
            outcomes[nearestQuick].quickReach, name(nearestQuick).c_str(),
            outcomes[nearestPatient].patientReach, name(nearestPatient).c_str(),
            outcomes[nearestJoint].jointReach / std::min(settings.jointShare, 1.0),
            name(nearestJoint).c_str(), std::min(settings.jointShare, 1.0));
    }
    std::sort(packetSeconds.begin(), packetSeconds.end());
    if (!packetSeconds.empty()) {
        double sum = 0;
        for (double t : packetSeconds)
            sum += t;
        std::printf(
            "code packets: %zu handled, %.0f per second of one core, median %.0f us, "
            "p99 %.0f us, max %.0f us\n",
            packetSeconds.size(), packetSeconds.size() / sum,
            1e6 * packetSeconds[packetSeconds.size() / 2],
            1e6 * packetSeconds[packetSeconds.size() * 99 / 100], 1e6 * packetSeconds.back());
    }
    return 0;
}
