#pragma once
// The entries of the text table by what they say in English. The numbers are the keys that
// language files use, so they never change.
namespace i18n {

enum class TextId : int {
    Exit = 1,
    Cancel = 2,
    Version = 3,
    DownloadingFile = 4,
    BytesReceived = 5,
    PressNextToContinue = 6,
    Next = 7,
    Finish = 8,
    CheckForUpdates = 9,
    IsMissing = 10,
    Language = 11,
    PlantrixNotFound = 12,  // first line; 13 or 67 follows
    MakeSureInProgramMode = 13,
    ErrorInFirmwareFile = 14,
    UpdateWizard = 15,
    UpdateWizardInfo = 16,     // 16, 17 and 18 are one text, a line each
    UpdateWizardInfoGap = 17,  // empty in English: the blank line between 16 and 18
    UpdateWizardFirewall = 18,
    AnErrorOccurred = 19,
    ErrorCode = 20,
    PlantrixWizard = 21,
    PlantrixWizardInfo = 22,
    ProgramPlantrix = 23,
    DownloadingToPlantrix = 24,
    PressBButton = 25,
    ConnectPlantrixCable = 26,
    PressNextToStartDownload = 27,
    NoBootFiles = 28,
    HardwareCodeError = 29,
    DownloadSuccess = 30,
    ProgramGranulo = 31,
    NewProgramVersionFound = 32,  // 32 and 33 are one message
    RestartToCompleteUpdate = 33,
    CouldNotConnect = 34,
    DownloadComplete = 35,
    FilesAreLatest = 36,
    ConnectingToServer = 37,
    FoundNewFiles = 38,
    DisconnectedFromServer = 39,
    AbortedByUser = 40,
    SelectMachineType = 41,
    SelectReleaseVersion = 42,
    SelectedFirmware = 43,
    Register = 44,
    RegisterEmail = 45,
    RegisterEmailInfo = 46,
    Name = 47,
    Email = 48,
    VerifyEmail = 49,
    EmailsDiffer = 50,
    InvalidEmail = 51,
    RegistrationComplete = 52,
    SendingRegistration = 53,
    NameMissing = 54,
    Password = 55,
    Login = 56,
    LoggedIn = 57,
    WrongPassword = 58,
    ServiceMode = 59,
    TessaraWizard = 60,
    ProgramTessara = 61,
    TessaraWizardInfo = 62,
    PressCButton = 63,  // 63, 64 and 65 are one set of instructions
    ConnectTessaraCable = 64,
    TessaraPressNextToDownload = 65,
    DownloadingToTessara = 66,
    MakeSureInTessaraMode = 67,
    NewDriverDownloaded = 68,  // 68, 69 and 70 are one question
    InstallDriverNow = 69,
    AskedAgainNextTime = 70,
    SearchingForPlantrix = 71,
};

// Entries 1 to 71 have built-in English texts; 72 to 100 only what a language file gives.
inline constexpr int kLastBuiltInText = 71;

}  // namespace i18n
