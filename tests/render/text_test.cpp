#include <gtest/gtest.h>

#include "RenderSupport.h"
#include "mox/rtl/SysUtils.h"

TEST(CanvasText, ArialResolvesToAMetricCompatibleFace)
{
    ASSERT_TRUE(TextRenderingAvailable());
    TBitmap b(10, 10);
    TCanvas& cv = b.Canvas;
    cv.Font.Size = 8;
    // Arial's digits are 0.556 em and its colon 0.278 em wide; at 11 pixels per em that is 6
    // and 3 pixels. Another face would give other widths.
    EXPECT_EQ(cv.TextWidth("00:00"), 27);
    EXPECT_EQ(cv.TextHeight("Xg"), 13);
    cv.Font.Size = 9;
    EXPECT_EQ(cv.TextHeight("K"), 14);
    cv.Font.Size = 10;
    EXPECT_EQ(cv.TextHeight("M"), 15);
    const int normal = cv.TextWidth("Magnetogramm");
    cv.Font.Bold = true;
    EXPECT_GT(cv.TextWidth("Magnetogramm"), normal);
    cv.Font.Bold = false;
    EXPECT_EQ(cv.TextWidth("Länge"), cv.TextWidth("Lange"));  // UTF-8 umlaut: one glyph
    EXPECT_EQ(cv.TextWidth(""), 0);
}

TEST(CanvasText, TextSitsOnAnOpaqueCellWithItsTopLeftAtThePoint)
{
    TBitmap b(70, 40);
    TCanvas& cv = b.Canvas;
    cv.Brush.Color = 0x00FF00;
    cv.FillRect(Rect(0, 0, 70, 40));
    cv.Brush.Color = 0xFFFFFF;
    cv.Font.Color = 0x0000FF;
    cv.Font.Size = 16;
    cv.TextOut(7, 4, "Hg");
    const int w = cv.TextWidth("Hg"), h = cv.TextHeight("Hg");
    int ink = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 70; ++x) {
            const TColor p = b.Pixel(x, y);
            const bool inside = x >= 7 && x < 7 + w && y >= 4 && y < 4 + h;
            if (!inside) {
                EXPECT_EQ(p, 0x00FF00u) << x << "," << y;
                continue;
            }
            // Inside: the brush, the font colour, or a blend of the two.
            EXPECT_EQ(GetRValue(p), 255) << x << "," << y;
            EXPECT_EQ(GetGValue(p), GetBValue(p)) << x << "," << y;
            ink += p == 0x0000FF;
        }
    }
    EXPECT_GT(ink, 10);  // the stems of H are fully covered
}

TEST(Title, PlaceholdersExpandInOrderWithTheirConditions)
{
    TempDir dir;
    TMOX_Diagram d;
    d.set_Autor("Fritz");
    d.set_Laenge("13.5 E");
    d.set_Breite("51.2 N");
    d.set_Locator("JO61");
    d.set_Ort("Polverin");

    // Unloaded curves: their placeholders vanish.
    EXPECT_EQ(d.generate_title("$DATUM1$ $ORT1$"), " ");
    EXPECT_EQ(d.generate_title("$NAME$/$NAME$/$NAME$"), "Fritz/Fritz/$NAME$");
    EXPECT_EQ(d.generate_title("$LOCATOR$ $LOCATOR$ $LOCATOR$"), "JO61 JO61 $LOCATOR$");
    EXPECT_EQ(d.generate_title("$KOORD$ | $COORD$"), "13.5 E, 51.2 N | 13.5 E, 51.2 N");
    EXPECT_EQ(d.generate_title("$ORT$ $LOCATION$ $ORT$"), "Polverin Polverin $ORT$");
    // A value holding a placeholder of a later group is expanded too, of an earlier one not.
    d.set_Ort("$NAME$");
    d.set_Autor("$ORT$");
    EXPECT_EQ(d.generate_title("$ORT$"), "$ORT$");
    EXPECT_EQ(d.generate_title("$NAME$"), "$ORT$");

    // A loaded curve: its header's date as dd.mm.yyyy for the title only, and its last time.
    LoadCurve(
        d, dir, 2, [](int m) { return m <= 600 ? 1.0 : std::nan(""); }, "By", "15.06.03", "Sturm");
    TImage img(200, 150);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();  // makes the long time format hh:mm
    FormatSettings().ShortDateFormat = "dd.mm.yy";
    EXPECT_EQ(d.generate_title("$DATUM2$ $DATE2$ $UHRZEIT2$ $TIME2$ $BEMERKUNG2$ $REMARK2$"),
              "15.06.2003 15.06.2003 10:00 10:00 Sturm Sturm");
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.mm.yy");
    EXPECT_EQ(d.generate_title("$ORT2$ $NAME2$ $LOCATOR2$ $KOORD2$"), "Polverin Obs JO62AA 13.0 E, 52.0 N");
    EXPECT_EQ(d.generate_title("$DATUM$"), FormatDateTime("dd.mm.yyyy", Date()));
    EXPECT_EQ(d.generate_title("$UHRZEIT3$"), "");
}

TEST(Legend, ComponentDateStyleAndRemark)
{
    TempDir dir;
    TMOX_Diagram d;
    FormatSettings().ShortDateFormat = "dd.mm.yy";
    LoadCurve(
        d, dir, 1, [](int) { return 3.0; }, "By", "15.06.03", "ruhig");
    EXPECT_EQ(d.generate_legend(1), "By: 15.06.03, Obs, Polverin");

    d.set_Legendestil(legORT_KOORD);
    d.set_is_Legendebemerkung(true);
    EXPECT_EQ(d.generate_legend(1), "By: 15.06.03, Polverin, 13.0 E, 52.0 N, ruhig");
    d.set_is_Legendedatum(false);
    d.set_is_Legendebemerkung(false);
    d.set_Legendestil(legLOCATOR);
    EXPECT_EQ(d.generate_legend(1), "By: JO62AA");

    // A curve loaded with selector 0 from a two-component file has no component.
    const std::string file = dir / "two.mox";
    WriteBytes(file, DayFileText({{"Bx", Minutes([](int) { return 1.0; })}, {"Bz", Minutes([](int) { return 2.0; })}},
                                 "01.02.03"));
    d.LoadData(file, 0, 3);
    EXPECT_EQ(d.generate_legend(3), "B:   JO62AA");
    EXPECT_EQ(d.generate_legend(5), "");
}
