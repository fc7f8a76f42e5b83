#include "i18n/text_table.h"

namespace i18n {

namespace {
struct DefaultText {
    TextId id;
    const char* english;
};

constexpr DefaultText kEnglish[] = {
    {TextId::Exit, "Exit"},
    {TextId::Cancel, "Cancel"},
    {TextId::Version, "Version"},
    {TextId::DownloadingFile, "Downloading file:"},
    {TextId::BytesReceived, "Bytes received:"},
    {TextId::PressNextToContinue, "Press Next to continue!"},
    {TextId::Next, "Next"},
    {TextId::Finish, "Finish"},
    {TextId::CheckForUpdates, "Check for updates"},
    {TextId::IsMissing, "is missing"},
    {TextId::Language, "Language"},
    {TextId::PlantrixNotFound, "Plantrix not found on any COM port,"},
    {TextId::MakeSureInProgramMode,
     "make sure it is connected and in program mode (started with B button)"},
    {TextId::ErrorInFirmwareFile, "Error in firmware file"},
    {TextId::UpdateWizard, "Update wizard"},
    {TextId::UpdateWizardInfo, "This wizard will check for updates to Solvenda system software."},
    {TextId::UpdateWizardInfoGap, ""},
    {TextId::UpdateWizardFirewall,
     "Make sure your computer is connected to the Internet and that your firewall allows "
     "communication on outgoing port 21."},
    {TextId::AnErrorOccurred, "An error occured!"},
    {TextId::ErrorCode, "Error code:"},
    {TextId::PlantrixWizard, "Plantrix programming wizard"},
    {TextId::PlantrixWizardInfo,
     "This wizard will program your Plantrix with the latest software (Use Check for "
     "updates to check for the latest updates)"},
    {TextId::ProgramPlantrix, "Program Plantrix"},
    {TextId::DownloadingToPlantrix, "Downloading new firmware to Plantrix..."},
    {TextId::PressBButton, "1. Press B button when you start your Plantrix"},
    {TextId::ConnectPlantrixCable, "2. Connect cable between PC and GPS port on Plantrix"},
    {TextId::PressNextToStartDownload, "Press Next to start download!"},
    {TextId::NoBootFiles, "No boot files were found!"},
    {TextId::HardwareCodeError, "Could not program connected device. Error in hardware code"},
    {TextId::DownloadSuccess, "Download success!"},
    {TextId::ProgramGranulo, "Program Plantrix Granulo"},
    {TextId::NewProgramVersionFound, "A new version of this program was found."},
    {TextId::RestartToCompleteUpdate, "It will now restart to complete update."},
    {TextId::CouldNotConnect, "Could not connect to Solvenda server"},
    {TextId::DownloadComplete, "Download complete!"},
    {TextId::FilesAreLatest, "Your files are the latest!"},
    {TextId::ConnectingToServer, "Connecting to server..."},
    {TextId::FoundNewFiles, "Found new files!"},
    {TextId::DisconnectedFromServer, "Disconnected from server"},
    {TextId::AbortedByUser, "Aborted by user"},
    {TextId::SelectMachineType, "Select machine type:"},
    {TextId::SelectReleaseVersion, "Select release version:"},
    {TextId::SelectedFirmware, "Selected firmware"},
    {TextId::Register, "Register"},
    {TextId::RegisterEmail, "Register email"},
    {TextId::RegisterEmailInfo,
     "Register your email if you want to recieve our software newsletter"},
    {TextId::Name, "Name"},
    {TextId::Email, "Email"},
    {TextId::VerifyEmail, "Verify email"},
    {TextId::EmailsDiffer, "Check email address. The two rows differ!"},
    {TextId::InvalidEmail, "Please write a valid email address!"},
    {TextId::RegistrationComplete, "Registration complete!"},
    {TextId::SendingRegistration, "Sending registration"},
    {TextId::NameMissing, "Please write a name!"},
    {TextId::Password, "Password"},
    {TextId::Login, "Login"},
    {TextId::LoggedIn,
     "Successfully logged in! Please search for updates to get the latest test versions."},
    {TextId::WrongPassword, "Wrong password, try again!"},
    {TextId::ServiceMode, "Service mode"},
    {TextId::TessaraWizard, "Tessara programming wizard"},
    {TextId::ProgramTessara, "Program Tessara"},
    {TextId::TessaraWizardInfo,
     "This wizard will program your Tessara with the latest software (Use Check for "
     "updates to check for the latest updates)"},
    {TextId::PressCButton, "1. Press C button when you start your Plantrix"},
    {TextId::ConnectTessaraCable,
     "2. Connect cable between PC and GPS port on Plantrix, connect Tessara directly to "
     "Plantrix"},
    {TextId::TessaraPressNextToDownload, "3. Press Next to start download!"},
    {TextId::DownloadingToTessara, "Downloading new firmware to Tessara..."},
    {TextId::MakeSureInTessaraMode,
     "make sure it is connected and in Tessara program mode (started with C button)"},
    {TextId::NewDriverDownloaded, "A new driver version has been downloaded."},
    {TextId::InstallDriverNow, "Install it now?"},
    {TextId::AskedAgainNextTime, "You will be asked again next time you check for updates."},
    {TextId::SearchingForPlantrix, "Searching for Plantrix"},
};

constexpr bool InKeyOrder() {
    int n = 0;
    for (const DefaultText& t : kEnglish)
        if (static_cast<int>(t.id) != ++n) return false;
    return n == kLastBuiltInText;
}
static_assert(InKeyOrder(), "every built-in text once, in the order of its number");
}  // namespace

void SetDefaultTexts(TextTable& texts) {
    for (const DefaultText& t : kEnglish) texts.Set(static_cast<int>(t.id), t.english);
}

}  // namespace i18n
