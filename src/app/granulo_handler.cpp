// The Granulo run's handler: the run shows no page of its own, only its result.
#include "app/main_window.h"
#include "platform/message_box.h"

namespace app {

void TForm1::But_P1_UpdatePlantrixGranuloClick() {
    const std::string result = granuloRun_->ProgramGranulo(DataDir + device::kGranuloPackage);
    platform::ShowMessage(result);
    SetupProgress(0);
}

}  // namespace app
