// Makes Glyphon's compiled-in assets from code and the DejaVu fonts:
//   glyph_assets <output folder> [<font folder>]
// Writes the font atlas, the metric tables as C++, the four frame images and
// the two logo blocks. The same inputs always give the same bytes.
#include <algorithm>
#include <cstdio>
#include <string>

#include "FontAtlas.h"
#include "Images.h"
#include "Raster.h"

Font::Font(FT_Library library, const std::string& path)
{
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        std::fprintf(stderr, "cannot open font %s\n", path.c_str());
        face = nullptr;
    }
}

Font::~Font()
{
    if (face != nullptr) {
        FT_Done_Face(face);
    }
}

GreyImage Font::Render(unsigned code, int pixelSize, int* bearingTop, int* advance) const
{
    GreyImage image;
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
        return image;
    }
    const FT_GlyphSlot glyph = face->glyph;
    image.width = static_cast<int>(glyph->bitmap.width);
    image.height = static_cast<int>(glyph->bitmap.rows);
    image.pixels.resize(size_t(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            image.pixels[size_t(y) * image.width + x] = glyph->bitmap.buffer[y * glyph->bitmap.pitch + x];
        }
    }
    *bearingTop = glyph->bitmap_top;
    *advance = static_cast<int>((glyph->advance.x + 32) >> 6);
    return image;
}

GreyImage Font::RenderWord(const char* word, int pixelSize) const
{
    // First pass finds the ink box, second pass draws into it.
    int left = 1 << 30, right = -(1 << 30), top = -(1 << 30), bottom = 1 << 30;
    for (int pass = 0; pass < 2; ++pass) {
        GreyImage* target = nullptr;
        GreyImage image;
        if (pass == 1) {
            image.width = right - left;
            image.height = top - bottom;
            image.pixels.assign(size_t(image.width) * image.height, 0);
            target = &image;
        }
        int pen = 0;
        for (const char* c = word; *c != 0; ++c) {
            int bearingTop = 0, advance = 0;
            const GreyImage glyph = Render(static_cast<unsigned char>(*c), pixelSize, &bearingTop, &advance);
            const int x0 = pen + face->glyph->bitmap_left;
            if (target == nullptr) {
                left = std::min(left, x0);
                right = std::max(right, x0 + glyph.width);
                top = std::max(top, bearingTop);
                bottom = std::min(bottom, bearingTop - glyph.height);
            } else {
                for (int y = 0; y < glyph.height; ++y) {
                    for (int x = 0; x < glyph.width; ++x) {
                        uint8_t& dst = target->pixels[size_t(top - bearingTop + y) * target->width + x0 - left + x];
                        dst = std::max(dst, glyph.At(x, y));
                    }
                }
            }
            pen += advance;
        }
        if (target != nullptr) {
            return image;
        }
    }
    return GreyImage();
}

void AppendLE32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void AppendLE16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, bool* ok)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        *ok = false;
    }
    if (file != nullptr && std::fclose(file) != 0) {
        *ok = false;
    }
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <output folder> [<DejaVu font folder>]\n", argv[0]);
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/";
    const std::string fonts = std::string(argc == 3 ? argv[2] : "/usr/share/fonts/truetype/dejavu") + "/";
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "cannot start FreeType\n");
        return 1;
    }
    bool ok = true;
    {
        const Font sansBold(library, fonts + "DejaVuSans-Bold.ttf");
        const Font monoBold(library, fonts + "DejaVuSansMono-Bold.ttf");
        FontAtlas atlas;
        if (!sansBold.Ok() || !monoBold.Ok() || !MakeFontAtlas(sansBold, monoBold, &atlas)) {
            ok = false;
        } else {
            WriteFile(out + "glyph_atlas.bin", atlas.coverage, &ok);
            WriteFile(out + "GlyphMetrics.cpp", std::vector<uint8_t>(atlas.metricsSource.begin(),
                                                                      atlas.metricsSource.end()), &ok);
            WriteFile(out + "frame_bevel_translucent.bin", MakeFrameImage(true, false), &ok);
            WriteFile(out + "frame_plain_translucent.bin", MakeFrameImage(false, false), &ok);
            WriteFile(out + "frame_bevel_opaque.bin", MakeFrameImage(true, true), &ok);
            WriteFile(out + "frame_plain_opaque.bin", MakeFrameImage(false, true), &ok);
            WriteFile(out + "logo_trellis.bin", MakeTrellisLogo(sansBold), &ok);
            WriteFile(out + "logo_glyphon.bin", MakeGlyphonLogo(sansBold), &ok);
        }
    }
    FT_Done_FreeType(library);
    return ok ? 0 : 1;
}
