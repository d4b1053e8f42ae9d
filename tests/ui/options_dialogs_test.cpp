#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QtTest/QTest>

#include "UiTestSupport.h"
#include "image/ColorFormula.h"
#include "model/Settings.h"
#include "ui/display/GridDialog.h"
#include "ui/image/FormulaDialog.h"

namespace vx::test {
namespace {

TEST(GridDialog, TransparencyIsLimitedAndOkStoresTheGrids) {
  const ProgramSettings saved = CurrentSettings();
  CGrid dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const auto& one = dialog.controls(0);
  ASSERT_TRUE(TypeAsUser(one.transparencyEdit, QStringLiteral("150")));
  EXPECT_EQ(one.transparencyEdit->text(), QStringLiteral("100"));
  EXPECT_EQ(one.transparency->value(), 100);
  if (!one.enable->isChecked()) {
    ASSERT_TRUE(ClickAsUser(one.enable));
  }
  ASSERT_TRUE(TypeAsUser(one.width, QStringLiteral("16")));
  ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
  EXPECT_EQ(CurrentSettings().Grid1, (GridSettings{1, 100, 16, 8, {0, 0, 0}}));
  CurrentSettings() = saved;
}

TEST(FormulaDialog, ConfirmedChoiceRebuildsTheTables) {
  const ProgramSettings saved = CurrentSettings();
  CYUV2RGB_Formula dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_FALSE(Child<QLineEdit>(dialog, "matrixField0")->isEnabled());
  EXPECT_EQ(Child<QLineEdit>(dialog, "matrixField17")->text(), QStringLiteral("-0.390"));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(&dialog, QStringLiteral("formulaRadio%1").arg(kItu709))));
  {
    BoxAnswerer ok(QMessageBox::Ok);
    ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
    ASSERT_EQ(ok.texts.size(), 1);
    EXPECT_EQ(ok.texts[0].toStdString(), CYUV2RGB_Formula::kQuestion);
  }
  EXPECT_EQ(CurrentSettings().YUV2RGB_Formula, kItu709);
  EXPECT_EQ(CurrentColourTables()->formula, kItu709);
  CurrentSettings() = saved;
  PublishColourFormula(
      {.formula = CurrentSettings().YUV2RGB_Formula, .user = CurrentSettings().User_Defined_Formula});
}

}  // namespace
}  // namespace vx::test
