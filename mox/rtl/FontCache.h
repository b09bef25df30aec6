#pragma once
// Faces and rendered glyphs, shared by every canvas of the process. Internal to the runtime.
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace moxrtl {

struct Glyph {
    int left = 0;  // from the pen position to the first column of the coverage map
    int top = 0;   // from the baseline up to the first row
    int width = 0;
    int rows = 0;
    int advance = 0;                     // whole pixels
    std::vector<std::uint8_t> coverage;  // width * rows, 0..255
};

// One face at one pixel size. Instances live until the process ends.
class FontInstance {
public:
    virtual ~FontInstance() = default;
    virtual int Ascent() const = 0;
    virtual int Descent() const = 0;
    // Valid until the process ends; only while the cache lock is held.
    virtual const Glyph& GlyphFor(char32_t codepoint) = 0;
};

// Guards the cache and everything it hands out.
std::mutex& FontLock();
// Null when no face can be loaded for this request. Call with FontLock() held.
FontInstance* FindFont(const std::string& name, int points, bool bold);

// Decodes UTF-8; a byte that starts no valid sequence stands for itself (Latin-1).
std::u32string DecodeUtf8(const std::string& text);

}  // namespace moxrtl
