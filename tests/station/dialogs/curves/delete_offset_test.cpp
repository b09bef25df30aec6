// Removing curves and shifting them.
#include "CurveDialogTest.h"
#include "station/dialogs/CurveDialogParts.h"
#include "station/dialogs/DeleteCurvesDlg.h"
#include "station/dialogs/OffsetForm.h"

namespace {

class DeleteTest : public CurveDialogTest {
protected:
    DeleteTest() : dlg(context)
    {
        dlg.RefreshCurveWindows = [this] { ++curveWindowRefreshes; };
        dlg.HideKorrektur = [this] { ++korrekturHidden; };
        const std::string file = DayFile("20030615.mox", {{"Bx", Minutes([](int m) { return m % 2 ? 0 : 1000; })},
                                                          Constant("By", 2),
                                                          Constant("Bz", 3),
                                                          Constant("B", 4)});
        for (int c = 1; c <= 4; ++c) {
            diagram.LoadData(file, c, c);
            diagram.set_Offset(c, 10 * c);
        }
    }
    void DeleteChoice(int index)
    {
        dlg.show();
        dlg.RadioGroup->SetItemIndex(index);
        dlg.OK_Button->click();
    }
    TDeleteCurvesDlg dlg;
    int curveWindowRefreshes = 0;
    int korrekturHidden = 0;
};

TEST_F(DeleteTest, OneCurveGoesTheOthersStay)
{
    korrekturEnabled = true;
    DeleteChoice(1);
    EXPECT_FALSE(diagram.is_loaded(2));
    EXPECT_EQ(diagram.get_Offset(2), 0);
    EXPECT_TRUE(diagram.is_loaded(1));
    EXPECT_EQ(diagram.get_Offset(1), 10);
    EXPECT_EQ(diagram.get_Offset(3), 30);
    EXPECT_EQ(korrekturHidden, 1);
    EXPECT_EQ(curveWindowRefreshes, 1);
    EXPECT_TRUE(korrekturEnabled);  // curves remain: the correction command stays
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // Shown again, the choice starts at "Kurve 1".
    dlg.show();
    EXPECT_EQ(dlg.RadioGroup->ItemIndex(), 0);
}

TEST_F(DeleteTest, AllCurvesLeaveAnEmptyDiagramWithoutCorrectionCommand)
{
    korrekturEnabled = true;
    ASSERT_EQ(diagram.get_K_index(1), 9);
    DeleteChoice(4);
    EXPECT_TRUE(diagram.is_empty());
    for (int c = 1; c <= 4; ++c) EXPECT_EQ(diagram.get_Offset(c), 0);
    for (int b = 1; b <= 8; ++b) EXPECT_EQ(diagram.get_K_index(b), -1);
    EXPECT_EQ(korrekturHidden, 1);
    EXPECT_FALSE(korrekturEnabled);
}

class OffsetTest : public CurveDialogTest {
protected:
    OffsetTest() : form(context) {}
    TOffsetForm form;
};

TEST_F(OffsetTest, StepsClampAtTheLimitAndEachStepRedraws)
{
    form.show();
    EXPECT_EQ(form.RadioGroup->ItemIndex(), 0);
    EXPECT_EQ(form.OffsetEdit->singleStep(), 10);
    form.RadioGroup->Buttons()->button(2)->click();
    form.SchrittweiteRadioGroup->Buttons()->button(3)->click();  // 100
    const int expected[] = {100, 200, 300, 400, 500, 500};
    for (int v : expected) {
        form.OffsetEdit->stepUp();
        EXPECT_EQ(diagram.get_Offset(3), v);
    }
    EXPECT_EQ(redraws, 5);  // the sixth step changed nothing
    EXPECT_EQ(diagram.get_Offset(1), 0);

    // A smaller step does not round the value.
    form.SchrittweiteRadioGroup->Buttons()->button(0)->click();
    form.OffsetEdit->stepDown();
    EXPECT_EQ(diagram.get_Offset(3), 499);
}

TEST_F(OffsetTest, ChoosingACurveShowsItsOffsetAndChangesNothing)
{
    diagram.set_Offset(2, -40);
    diagram.set_Offset(4, 830);  // beyond the field's range
    form.show();
    form.RadioGroup->Buttons()->button(1)->click();
    EXPECT_EQ(form.OffsetEdit->value(), -40);
    form.RadioGroup->Buttons()->button(3)->click();
    EXPECT_EQ(form.OffsetEdit->value(), 500);
    EXPECT_EQ(diagram.get_Offset(4), 830);
    EXPECT_EQ(redraws, 0);

    form.OK_Button->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(ini.SectionExists("Diagram"));
}

}  // namespace
