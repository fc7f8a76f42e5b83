// Moving between the pages: each button forwards to the flow it opens, or to the Wizard,
// which hands it to the flow that owns the current step.
#include "app/main_window.h"
#include "app/programming_wizard.h"

namespace app {

void TForm1::But_P3_UpdateClick() { updateCheck_->Open(); }

void TForm1::But_P1_UpdatePlantrixClick() { plantrixWizard_->Open(); }

void TForm1::But_P1_UpdateTessaraClick() { tessaraWizard_->Open(); }

void TForm1::But_P1_RegisterClick() { signup_->Open(); }

void TForm1::But_P3_NextClick() { wizard_.Next(); }

void TForm1::But_P2_CancelClick() { wizard_.Cancel(); }

void TForm1::But_P3_CancelClick() { wizard_.Cancel(); }

void TForm1::But_P4_cancelClick() { wizard_.Cancel(); }

void TForm1::ComboBox_P3Change() { wizard_.SelectionChanged(); }

void TForm1::But_P1_TestClick() { ListBox_P1_test.clear(); }

}  // namespace app
