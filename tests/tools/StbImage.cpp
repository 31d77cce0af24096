// The one translation unit that holds stb_image's implementation (PNG
// reading for the tool's tests).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
