#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTextEdit>
#include <cmath>
#include <filesystem>

#include "DialogTest.h"
#include "station/app/CurveText.h"
#include "station/dialogs/InfoForm.h"
#include "station/dialogs/KurvenForm.h"
#include "station/dialogs/MRode_ConvertDlg.h"
#include "station/dialogs/RemarkDlg.h"

namespace {

std::string Replace(std::string s, const std::string& what, const std::string& by)
{
    s.replace(s.find(what), what.size(), by);
    return s;
}

class InfoDialogs : public DialogTest {
protected:
    // Curve 1: By with a remark and no locator; curve 3: Bz from a two-sensor file.
    void LoadTwo()
    {
        std::string one =
            DayFileText({{"By", Minutes([](int m) { return m < 720 ? 152.5 : -3.5; })}}, "15.06.03", "Polverin", "Obs");
        one = Replace(one, "LOCATOR: JO62AA", "LOCATOR: ");
        one = Replace(one, "REMARKS: ", "REMARKS: Sturm am Nachmittag");
        WriteBytes(dir / "one.mox", one);
        diagram.LoadData(dir / "one.mox", 0, 1);
        WriteBytes(dir / "two.mox",
                   DayFileText({{"Bx", Minutes([](int) { return 1.0; })}, {"Bz", Minutes([](int) { return 2.0; })}},
                               "16.06.03", "Hof", "Anna"));
        diagram.LoadData(dir / "two.mox", 3, 3);
    }
};

TEST_F(InfoDialogs, KRowMarksBlocksWithoutData)
{
    const int k[8] = {2, 3, 1, -1, -1, -1, -1, -1};
    EXPECT_EQ(KRow(k), "2 3 1 - - - - - ");
    const int all[8] = {0, 9, 4, 4, 5, 6, 7, 8};
    EXPECT_EQ(KRow(all), "0 9 4 4 5 6 7 8 ");
}

TEST_F(InfoDialogs, InfoFormListsEveryLoadedCurve)
{
    TInfoForm form(ctx);
    form.FormActivate();
    EXPECT_TRUE(form.Text()->toPlainText().isEmpty());
    for (int c = 1; c <= 4; ++c) {
        EXPECT_TRUE(form.KEditOf(c)->text().isEmpty());
        EXPECT_FALSE(form.KEditOf(c)->isEnabled());
    }
    EXPECT_TRUE(form.KEdit()->text().isEmpty());

    LoadTwo();
    form.FormActivate();
    const QString expected =
        QString::fromUtf8("Kurve Nr. 1:\n\nFilename: %1\nDatum: 15.06.03\nDatei enthält 1 Vektor(en) (By)\n"
                          "geladener Vektor: By\nStandort: Polverin\nKoordinaten: 13.0 E, 52.0 N\n"
                          "Betreiber: Obs\nBemerkung: Sturm am Nachmittag\n\n"
                          "Kurve Nr. 3:\n\nFilename: %2\nDatum: 16.06.03\nDatei enthält 2 Vektor(en) (Bx Bz)\n"
                          "geladener Vektor: Bz\nStandort: Hof\nKoordinaten: 13.0 E, 52.0 N (JO62AA)\n"
                          "Betreiber: Anna\n")
            .arg(QString::fromStdString(dir / "one.mox"), QString::fromStdString(dir / "two.mox"));
    EXPECT_EQ(form.Text()->toPlainText(), expected);
    EXPECT_TRUE(form.KEditOf(1)->isEnabled());
    EXPECT_TRUE(form.KEditOf(3)->isEnabled());
    EXPECT_FALSE(form.KEditOf(2)->isEnabled());
    EXPECT_TRUE(form.KEditOf(2)->text().isEmpty());
    EXPECT_EQ(form.KEditOf(1)->text().size(), 16);
    EXPECT_EQ(form.KEdit()->text().size(), 16);

    // Removing curves shows up at the next refresh.
    diagram.DelCurve(1);
    form.FormActivate();
    EXPECT_TRUE(form.Text()->toPlainText().startsWith("Kurve Nr. 3:"));
    EXPECT_FALSE(form.KEditOf(1)->isEnabled());
}

TEST_F(InfoDialogs, KurvenFormShowsOneCurveWithStatistics)
{
    LoadTwo();
    TKurvenForm form(ctx);
    form.SetKurve(1);
    form.FormActivate();
    EXPECT_TRUE(form.Text()->toPlainText().contains("Koordinaten: 13.0 E ,52.0 N\n"));
    EXPECT_EQ(form.CountEdit()->text(), "1440");
    EXPECT_EQ(form.MaxEdit()->text(), "152nT");  // halves to the even number
    EXPECT_EQ(form.MinEdit()->text(), "-4nT");
    EXPECT_EQ(form.KEdit()->text().size(), 16);
    EXPECT_FALSE(form.AkEdit()->isEnabled());
    EXPECT_TRUE(form.AkEdit()->text().isEmpty());

    // A curve without readings.
    for (int i = 1; i <= 1440; ++i) diagram.set_data(3, i, std::nan(""));
    form.SetKurve(3);
    form.FormActivate();
    EXPECT_TRUE(form.Text()->toPlainText().startsWith("Kurve Nr. 3:"));
    EXPECT_EQ(form.CountEdit()->text(), "0");
    EXPECT_EQ(form.MaxEdit()->text(), "NaN");
    EXPECT_EQ(form.MinEdit()->text(), "NaN");

    form.SetKurve(0);
    form.FormActivate();
    EXPECT_TRUE(form.Text()->toPlainText().isEmpty());
}

TEST_F(InfoDialogs, RemarkDlgTakesStoredRemarkAndWritesChoice)
{
    ini->WriteString("MOX-Header", "Remarks", "Alte Bemerkung");
    diagram.set_Bemerkung("vorher");
    TRemarkDlg dlg(ctx);
    dlg.FormActivate();
    // The stored remark becomes the diagram's at once, even if nothing else follows.
    EXPECT_EQ(diagram.get_Bemerkung(), "Alte Bemerkung");
    EXPECT_EQ(dlg.RemEdit()->text(), "Alte Bemerkung");
    EXPECT_EQ(dlg.VectorComboBox()->currentIndex(), 1);
    EXPECT_EQ(dlg.RemEdit()->maxLength(), 70);

    dlg.RemEdit()->setText("Neue Bemerkung äöü");
    dlg.VectorComboBox()->setCurrentIndex(2);
    dlg.OK_ButtonClick();
    EXPECT_EQ(diagram.get_Bemerkung(), "Neue Bemerkung äöü");
    EXPECT_EQ(diagram.get_1sensor_vec(), vecBz);
    TIniFile check(ini->FileName());
    EXPECT_EQ(check.ReadString("MOX-Header", "Remarks", ""), "Neue Bemerkung äöü");
    EXPECT_EQ(check.ReadInteger("MOX-Header", "1-Sensor", -1), 2);

    // A stored component outside X, Y, Z selects none and is left alone.
    ini->WriteInteger("MOX-Header", "1-Sensor", 3);
    dlg.FormActivate();
    EXPECT_EQ(dlg.VectorComboBox()->currentIndex(), -1);
    dlg.OK_ButtonClick();
    EXPECT_EQ(check.ReadInteger("MOX-Header", "1-Sensor", -1), 3);
    EXPECT_EQ(diagram.get_1sensor_vec(), vecBz);
}

TEST_F(InfoDialogs, MRodeConvertsChosenFileForChosenDate)
{
    TMRode_ConvertDlg dlg(ctx);
    dlg.FormActivate();
    int y, m, d;
    DecodeDate(Date() - 1, y, m, d);
    EXPECT_EQ(dlg.DateEdit()->date(), QDate(y, m, d));

    const std::string data = dir / "mr";
    std::filesystem::create_directory(data);
    WriteBytes(data + "/day.dat", "Zeit     Bx  By  Bz  B\r\n"
                                  "12:00:10  10  20  30  40\r\n"
                                  "12:00:40  11  21  31  41\r\n");
    std::string askedIn = "?";
    dlg.ChooseFile = [&](const std::string& folder) {
        askedIn = folder;
        return data + "/day.dat";
    };
    ini->WriteString("Diagram", "MR-Data", "/somewhere/");
    dlg.show();  // proposes yesterday again
    dlg.DateEdit()->setDate(QDate(2003, 6, 15));
    dlg.OK_ButtonClick();
    EXPECT_EQ(askedIn, "/somewhere/");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(ini->ReadString("Diagram", "MR-Data", ""), data + "/");
    const std::string out = ReadBytes(data + "/150603mr.mox");
    EXPECT_NE(out.find("DATE: 15.06.03\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\n10\r\n"), std::string::npos);  // Bx of 12:00: mean 10.5 to even

    // Cancelling the file choice converts nothing; an unreadable file is reported.
    std::filesystem::remove(data + "/150603mr.mox");
    dlg.ChooseFile = [](const std::string&) { return std::string(); };
    dlg.show();
    dlg.OK_ButtonClick();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(std::filesystem::exists(data + "/150603mr.mox"));

    dlg.ChooseFile = [&](const std::string&) { return data + "/fehlt.dat"; };
    QString message;
    AnswerNextMessageBox(&message);
    dlg.OK_ButtonClick();
    EXPECT_TRUE(message.contains("fehlt.dat"));
    EXPECT_FALSE(std::filesystem::exists(data + "/150603mr.mox"));
}

}  // namespace
