#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>
#include <filesystem>

#include "../../../support/ColourSpot.h"
#include "DialogTest.h"
#include "station/dialogs/KorrekturForm.h"

namespace {

// A jump at 13:42: 120 nT up to 13:41, 100 nT from then on.
std::vector<Section> JumpDay()
{
    return {{"Bx", Minutes([](int m) { return m < 600 ? 50.2 : 32.4; })},
            {"By", Minutes([](int m) { return m <= 821 ? 120.0 : 100.0; })},
            {"Bz", Minutes([](int) { return 7.0; })},
            {"B", Minutes([](int m) { return 1000.0 + m; })}};
}

class Korrektur : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        file = LoadDay(JumpDay(), 2, 2);
        diagram.LoadData(file, 1, 1);
        diagram.LoadData(file, 4, 4);
        form = std::make_unique<TKorrekturForm>(ctx);
    }
    // A left click: the list selects the line, then the dialog takes it as reference.
    void LeftClick(int row)
    {
        form->ListBox()->setCurrentRow(row);
        form->ListBoxMouseDown(Qt::LeftButton, row);
    }
    void Open(int curveItem)
    {
        form->ShowAndFill();
        form->FormActivate();
        form->RadioGroupClick(curveItem);
    }
    std::string Kor() const { return dir / "20030615.kor"; }

    std::string file;
    std::unique_ptr<TKorrekturForm> form;
};

TEST_F(Korrektur, JumpIsTakenOutSavedAndAppliedAgainOnLoad)
{
    Open(1);
    ASSERT_EQ(form->ListCount(), 1440);
    EXPECT_EQ(form->ListBox()->item(821)->text(), "13:41: 120");

    // A real click on the 13:41 line.
    form->ListBox()->scrollToItem(form->ListBox()->item(821));
    const QPoint at = form->ListBox()->visualItemRect(form->ListBox()->item(821)).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, form->ListBox()->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->ListBox()->viewport(), &press);

    EXPECT_EQ(form->ReferenzEdit()->text(), "13:41: 120");
    EXPECT_EQ(form->KorrekturEdit()->text(), "13:42: 100");
    EXPECT_EQ(form->OffsetEdit()->text(), "20");

    form->Korrektur_ButtonClick();
    EXPECT_EQ(diagram.get_data(2, 822), 120.0);  // the reference itself stays
    EXPECT_EQ(diagram.get_data(2, 823), 120.0);
    EXPECT_EQ(diagram.get_data(2, 1440), 120.0);
    EXPECT_EQ(diagram.get_data(1, 1440), 32.4);  // other curves untouched
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"By;13:41;20"});
    EXPECT_TRUE(form->UndoButton()->isEnabled());
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(form->ListBox()->item(900)->text(), "15:00: 120");
    EXPECT_EQ(form->ListBox()->currentRow(), 821);

    form->OK_ButtonClick();
    EXPECT_EQ(ReadBytes(Kor()), "By;13:41;20\r\n");
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->MemoLines().empty());

    // Loading the day again with corrections on gives the corrected curve.
    diagram.set_is_Korrektur(true);
    diagram.LoadData(file, 2, 2);
    EXPECT_EQ(diagram.get_data(2, 822), 120.0);
    EXPECT_EQ(diagram.get_data(2, 823), 120.0);
    EXPECT_EQ(diagram.get_data(2, 1440), 120.0);

    // Opening again shows the file; a new line is added to the former ones.
    Open(0);
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"By;13:41;20"});
    LeftClick(599);  // Bx: 50.2 at 09:59, 32.4 from 10:00
    EXPECT_EQ(form->OffsetEdit()->text(), "17");
    form->OffsetEdit()->setText("17.5");  // the operator may type any number
    form->Korrektur_ButtonClick();
    EXPECT_DOUBLE_EQ(diagram.get_data(1, 601), 49.9);
    form->OK_ButtonClick();
    EXPECT_EQ(ReadBytes(Kor()), "By;13:41;20\r\nBx;09:59;17.5\r\n");
}

TEST_F(Korrektur, OffsetTruncatesAndRightClickPicksOnlyLaterReadings)
{
    diagram.set_data(2, 100, 112.8);  // 01:39
    diagram.set_data(2, 105, 130.6);  // 01:44
    Open(1);

    // A right click before any reference does nothing.
    form->ListBoxMouseDown(Qt::RightButton, 50);
    EXPECT_EQ(form->ListBox()->currentRow(), -1);
    EXPECT_TRUE(form->KorrekturEdit()->text().isEmpty());

    LeftClick(99);
    form->ListBoxMouseDown(Qt::RightButton, 104);
    EXPECT_EQ(form->KorrekturEdit()->text(), "01:44: 130.6");
    EXPECT_EQ(form->OffsetEdit()->text(), "-17");  // -17.8 truncated toward zero

    // A line at or before the reference changes nothing.
    form->ListBoxMouseDown(Qt::RightButton, 20);
    EXPECT_EQ(form->ListBox()->currentRow(), 104);
    EXPECT_EQ(form->KorrekturEdit()->text(), "01:44: 130.6");

    // With the correction reading several minutes on, everything after the reference moves.
    form->Korrektur_ButtonClick();
    EXPECT_DOUBLE_EQ(diagram.get_data(2, 100), 112.8);
    EXPECT_DOUBLE_EQ(diagram.get_data(2, 101), 103.0);
    EXPECT_DOUBLE_EQ(diagram.get_data(2, 105), 113.6);
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"By;01:39;-17"});

    // The last line as reference: no later reading, so no new offset.
    form->OffsetEdit()->setText("5");
    LeftClick(1439);
    EXPECT_EQ(form->ReferenzEdit()->text(), "23:59: 83");
    EXPECT_EQ(form->KorrekturEdit()->text(), "01:44: 130.6");
    EXPECT_EQ(form->OffsetEdit()->text(), "5");

    // The total field takes lines without a component tag.
    form->RadioGroupClick(3);
    LeftClick(0);
    EXPECT_EQ(form->OffsetEdit()->text(), "-1");
    form->Korrektur_ButtonClick();
    EXPECT_EQ(form->MemoLines().back(), "00:00;-1");
    EXPECT_EQ(diagram.get_data(4, 2), 1000.0);
}

TEST_F(Korrektur, UndoTakesBackExactlyTheLastCorrection)
{
    Open(1);
    LeftClick(821);
    form->Korrektur_ButtonClick();
    // Choosing another reference, even on another curve, must not change what is undone.
    LeftClick(1000);
    form->RadioGroupClick(0);
    LeftClick(10);
    form->Undo_ButtonClick();
    EXPECT_FALSE(form->UndoButton()->isEnabled());
    EXPECT_EQ(diagram.get_data(2, 822), 120.0);
    EXPECT_EQ(diagram.get_data(2, 823), 100.0);
    EXPECT_EQ(diagram.get_data(2, 1440), 100.0);
    EXPECT_EQ(diagram.get_data(1, 12), 50.2);
    EXPECT_TRUE(form->MemoLines().empty());

    // After the undo there is nothing to save, and the dialog says so.
    form->RadioGroupClick(1);
    QString told;
    AnswerNextMessageBox(&told);
    form->OK_ButtonClick();
    EXPECT_TRUE(told.contains("keine neue Korrektur")) << told.toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(std::filesystem::exists(Kor()));

    // An offset of 0 changes nothing, not even the undo button.
    form->OffsetEdit()->setText("0");
    form->Korrektur_ButtonClick();
    EXPECT_FALSE(form->UndoButton()->isEnabled());
    EXPECT_TRUE(form->MemoLines().empty());

    // Abbruch takes back the correction still open for undo and leaves the file alone.
    WriteBytes(Kor(), "Bz;01:00;3\r\n");
    form->OffsetEdit()->setText("20");
    LeftClick(821);
    form->Korrektur_ButtonClick();
    form->CancelButtonClick();
    EXPECT_EQ(diagram.get_data(2, 1440), 100.0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadBytes(Kor()), "Bz;01:00;3\r\n");

    // Leaving the dialog and coming back ends the chance to undo.
    Open(1);
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"Bz;01:00;3"});
    LeftClick(821);
    form->Korrektur_ButtonClick();
    form->FormActivate();
    form->Undo_ButtonClick();
    EXPECT_EQ(diagram.get_data(2, 1440), 120.0);
    EXPECT_EQ(form->MemoLines().size(), 2u);
}

TEST_F(Korrektur, BadInputAndFailuresChangeNothing)
{
    // No curve in the list, no reference: clicks and Ausführen do nothing.
    diagram.DelCurve(3);
    Open(2);
    EXPECT_EQ(form->ListCount(), 0);
    LeftClick(0);
    form->ListBoxMouseDown(Qt::RightButton, 5);
    form->OffsetEdit()->setText("12");
    form->Korrektur_ButtonClick();
    form->RadioGroupClick(1);
    form->Korrektur_ButtonClick();
    EXPECT_TRUE(form->MemoLines().empty());
    EXPECT_EQ(diagram.get_data(2, 1440), 100.0);
    EXPECT_EQ(redraws, 0);

    // A missing reading gives no offset; a text that is no number is reported.
    diagram.set_data(2, 823, std::nan(""));
    LeftClick(821);
    EXPECT_EQ(form->OffsetEdit()->text(), "12");
    form->OffsetEdit()->setText("zwölf");
    QString message;
    AnswerNextMessageBox(&message);
    form->Korrektur_ButtonClick();
    EXPECT_TRUE(message.contains("zwölf"));
    EXPECT_TRUE(form->MemoLines().empty());
    EXPECT_EQ(diagram.get_data(2, 1440), 100.0);
    EXPECT_TRUE(std::isnan(diagram.get_data(2, 823)));

    // A file that cannot be written is reported; the dialog keeps its lines.
    FormatSettings().DecimalSeparator = ',';
    form->OffsetEdit()->setText("2,5");
    form->Korrektur_ButtonClick();
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"By;13:41;2,5"});
    std::filesystem::create_directory(Kor());
    AnswerNextMessageBox(&message);
    form->OK_ButtonClick();
    EXPECT_TRUE(message.contains("20030615.kor"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->MemoLines().size(), 1u);
    std::filesystem::remove(Kor());
    form->OK_ButtonClick();
    EXPECT_EQ(ReadBytes(Kor()), "By;13:41;2,5\r\n");

    // The loader reads the line back in the same number format.
    diagram.set_is_Korrektur(true);
    diagram.LoadData(file, 2, 2);
    EXPECT_DOUBLE_EQ(diagram.get_data(2, 1440), 102.5);
}

TEST_F(Korrektur, EachDayKeepsItsOwnLinesAcrossACurveOfAnotherDay)
{
    // Curve 3 holds the 16th, beside the 15th in curves 1 and 2; each day has its file.
    const std::string next = dir / "20030616.mox";
    WriteBytes(next, DayFileText(JumpDay(), "16.06.03"));
    diagram.LoadData(next, 2, 3);
    const std::string nextKor = dir / "20030616.kor";
    WriteBytes(Kor(), "Bz;01:00;3\r\n");
    WriteBytes(nextKor, "By;05:00;1\r\n");
    std::vector<std::pair<std::string, int>> asked;
    bool answer = true;
    form->AskSavePending = [&](const std::string& file, int lines) {
        asked.emplace_back(file, lines);
        return answer;
    };

    Open(1);
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"Bz;01:00;3"});
    LeftClick(821);
    form->Korrektur_ButtonClick();

    // To the other day: its unsaved line is saved first, then the other file is shown.
    form->RadioGroupClick(2);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(Kor(), 1));
    EXPECT_EQ(ReadBytes(Kor()), "Bz;01:00;3\r\nBy;13:41;20\r\n");
    EXPECT_EQ(form->MemoFile(), nextKor);
    EXPECT_EQ(form->MemoLines(), std::vector<std::string>{"By;05:00;1"});
    EXPECT_FALSE(form->UndoButton()->isEnabled());

    LeftClick(821);
    form->Korrektur_ButtonClick();
    // A curve of the first day selected again, the other day's line is still only pending;
    // this time the observer drops it.
    answer = false;
    form->RadioGroupClick(0);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], std::make_pair(nextKor, 1));
    EXPECT_EQ(ReadBytes(nextKor), "By;05:00;1\r\n");
    EXPECT_EQ(form->MemoLines(), (std::vector<std::string>{"Bz;01:00;3", "By;13:41;20"}));

    // Speichern writes the day of the lines, whichever curve of it is selected.
    LeftClick(599);
    form->Korrektur_ButtonClick();
    form->RadioGroupClick(1);  // the same day: nothing asked; this curve's last offset is 0
    EXPECT_EQ(asked.size(), 2u);
    form->OK_ButtonClick();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadBytes(Kor()), "Bz;01:00;3\r\nBy;13:41;20\r\nBx;09:59;17\r\n");
    EXPECT_EQ(ReadBytes(nextKor), "By;05:00;1\r\n");

    // Loaded again with corrections on, each day gets exactly its own lines.
    diagram.set_is_Korrektur(true);
    diagram.LoadData(file, 2, 2);
    diagram.LoadData(next, 2, 3);
    EXPECT_EQ(diagram.get_data(2, 1440), 120.0);
    EXPECT_EQ(diagram.get_data(3, 1440), 101.0);
}

TEST_F(Korrektur, CorrectionAndUndoRecomputeTheKIndex)
{
    // By moves 20 nT in the block from 12:00: K2 there.
    EXPECT_EQ(diagram.get_K_Curve(2, 5), 2);
    Open(1);
    LeftClick(821);
    form->Korrektur_ButtonClick();
    EXPECT_EQ(diagram.get_K_Curve(2, 5), 0);
    form->Undo_ButtonClick();
    EXPECT_EQ(diagram.get_K_Curve(2, 5), 2);
}

TEST_F(Korrektur, MainWindowSelectsMinuteWithoutChoosingReadings)
{
    Open(1);
    form->SelectMinute(700);
    EXPECT_EQ(form->ListBox()->currentRow(), 700);
    EXPECT_TRUE(form->ReferenzEdit()->text().isEmpty());
    form->SelectMinute(1440);
    EXPECT_EQ(form->ListBox()->currentRow(), 700);
    form->CurvesRemoved();
    EXPECT_FALSE(form->isVisible());
}

}  // namespace

// Each curve's colour mark stands in the row of its radio item, right beside it.
TEST_F(Korrektur, ColourMarksStandBesideTheirRadioItems)
{
    const TColor colours[4] = {0xFF00FF, 0xC8C800, 0x0078FA, 0x0AB40A};
    for (int c = 1; c <= 4; ++c) diagram.set_Color(c, colours[c - 1]);
    Open(0);
    const QImage picture = form->grab().toImage();
    for (int c = 1; c <= 4; ++c) {
        SCOPED_TRACE(c);
        QRadioButton* radio = nullptr;
        for (QRadioButton* r : form->findChildren<QRadioButton*>())
            if (r->text() == QString::number(c)) radio = r;
        ASSERT_TRUE(radio);
        const TColor t = colours[c - 1];
        const auto spot = FindColour(picture, qRgb(t & 0xFF, (t >> 8) & 0xFF, (t >> 16) & 0xFF));
        ASSERT_TRUE(spot);
        const QRect item = RectIn(form.get(), radio);
        EXPECT_LE(std::abs(spot->Row - item.center().y()), 1.5) << spot->Row << " " << item.center().y();
        const int textEnd = item.left() + radio->sizeHint().width();
        EXPECT_GE(spot->Left, textEnd - 2);
        EXPECT_LE(spot->Left, textEnd + 24) << spot->Left << " " << textEnd;
    }
}
