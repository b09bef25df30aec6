// Font faces through fontconfig and FreeType, with every rendered glyph kept for reuse: the
// diagram writes the same few characters on every redraw.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include "mox/rtl/FontCache.h"
#include "mox/rtl/Graphics.h"

namespace moxrtl {
namespace {

// Blending coverage linearly on sRGB values makes small text look thin and washed out;
// lifting partial coverage gives stems the weight they have on screen.
const std::array<std::uint8_t, 256>& CoverageCurve()
{
    static const std::array<std::uint8_t, 256> curve = [] {
        std::array<std::uint8_t, 256> c{};
        for (int a = 0; a < 256; ++a) c[std::size_t(a)] = std::uint8_t(std::lround(255.0 * std::pow(a / 255.0, 0.7)));
        return c;
    }();
    return curve;
}

class Instance final : public FontInstance {
public:
    Instance(FT_Face face, int pixels, bool embolden) : face(face), pixels(pixels), embolden(embolden)
    {
        // The cell is the face's full ascent plus descent, each rounded up to whole pixels,
        // like the text metrics of the desktop the drawings were laid out on.
        const double scale = double(pixels) / double(face->units_per_EM);
        ascent = int(std::ceil(double(face->ascender) * scale - 1e-6));
        descent = int(std::ceil(double(-face->descender) * scale - 1e-6));
    }

    int Ascent() const override { return ascent; }
    int Descent() const override { return descent; }

    const Glyph& GlyphFor(char32_t cp) override
    {
        auto it = glyphs.find(cp);
        if (it != glyphs.end()) return it->second;
        Glyph& g = glyphs[cp];
        if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels)) != 0) return g;
        if (FT_Load_Char(face, FT_ULong(cp), FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return g;
        if (embolden) FT_GlyphSlot_Embolden(face->glyph);
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
        const FT_GlyphSlot slot = face->glyph;
        g.advance = int((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
        g.width = int(bm.width);
        g.rows = int(bm.rows);
        g.coverage.resize(std::size_t(g.width) * std::size_t(g.rows));
        const auto& darken = CoverageCurve();
        for (int r = 0; r < g.rows; ++r) {
            const unsigned char* src = bm.buffer + std::ptrdiff_t(r) * bm.pitch;
            std::transform(src, src + g.width, g.coverage.begin() + std::ptrdiff_t(r) * g.width,
                           [&darken](unsigned char a) { return darken[a]; });
        }
        return g;
    }

private:
    FT_Face face;
    int pixels;
    bool embolden;
    int ascent = 0;
    int descent = 0;
    std::unordered_map<char32_t, Glyph> glyphs;
};

class Cache {
public:
    ~Cache()
    {
        instances.clear();
        for (auto& [key, face] : faces)
            if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    FontInstance* Find(const std::string& name, int points, bool bold)
    {
        // Points at 96 dpi, rounded like the desktop's MulDiv(points, 96, 72).
        const int pixels = int(std::lround(double(points) * 96.0 / 72.0));
        if (pixels < 1 || pixels > 2000) return nullptr;
        bool embolden = false;
        FT_Face face = Face(name, bold, embolden);
        if (!face) return nullptr;
        auto key = std::make_tuple(face, pixels, embolden);
        auto it = instances.find(key);
        if (it == instances.end())
            it = instances.emplace(key, std::make_unique<Instance>(face, pixels, embolden)).first;
        return it->second.get();
    }

private:
    FT_Face Face(const std::string& name, bool bold, bool& embolden)
    {
        const auto key = std::make_pair(name, bold);
        auto it = faces.find(key);
        if (it == faces.end()) it = faces.emplace(key, Open(name, bold)).first;
        embolden = bold && it->second && !(it->second->style_flags & FT_STYLE_FLAG_BOLD);
        return it->second;
    }

    FT_Face Open(const std::string& name, bool bold)
    {
        if (!library && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return nullptr;
        }
        if (!FcInit()) return nullptr;
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return nullptr;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) return nullptr;
        FT_Face face = nullptr;
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) != 0) face = nullptr;
        }
        FcPatternDestroy(match);
        if (face && !FT_IS_SCALABLE(face)) {
            FT_Done_Face(face);
            face = nullptr;
        }
        return face;
    }

    FT_Library library = nullptr;
    std::map<std::pair<std::string, bool>, FT_Face> faces;
    std::map<std::tuple<FT_Face, int, bool>, std::unique_ptr<Instance>> instances;
};

Cache& TheCache()
{
    static Cache cache;
    return cache;
}

}  // namespace

std::mutex& FontLock()
{
    static std::mutex lock;
    return lock;
}

FontInstance* FindFont(const std::string& name, int points, bool bold) { return TheCache().Find(name, points, bold); }

std::u32string DecodeUtf8(const std::string& text)
{
    std::u32string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        int extra = 0;
        char32_t cp = c;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        }
        bool valid = extra > 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + std::size_t(k) >= n || (s[i + std::size_t(k)] & 0xC0) != 0x80) valid = false;
            else cp = (cp << 6) | (s[i + std::size_t(k)] & 0x3F);
        }
        if (valid && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (valid) {
            out.push_back(cp);
            i += std::size_t(extra) + 1;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

}  // namespace moxrtl

bool TextRenderingAvailable()
{
    std::lock_guard<std::mutex> guard(moxrtl::FontLock());
    return moxrtl::FindFont("Arial", 8, false) != nullptr;
}
