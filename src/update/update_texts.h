#pragma once
// Entries of the text table that the update check, the installer offers and the sign-up
// show, by number, with their English texts.
namespace update::text {

inline constexpr int kDownloadingFile = 4;        // "Downloading file:"
inline constexpr int kFinish = 8;                 // "Finish"
inline constexpr int kNewProgramFound = 32;       // "A new version of this program was found."
inline constexpr int kWillRestart = 33;           // "It will now restart to complete update."
inline constexpr int kCouldNotConnect = 34;       // "Could not connect to Solvenda server"
inline constexpr int kDownloadComplete = 35;      // "Download complete!"
inline constexpr int kFilesAreLatest = 36;        // "Your files are the latest!"
inline constexpr int kConnecting = 37;            // "Connecting to server..."
inline constexpr int kFoundNewFiles = 38;         // "Found new files!"
inline constexpr int kDisconnected = 39;          // "Disconnected from server"
inline constexpr int kAbortedByUser = 40;         // "Aborted by user"
inline constexpr int kEmailsDiffer = 50;          // "Check email address. The two rows differ!"
inline constexpr int kWriteValidEmail = 51;       // "Please write a valid email address!"
inline constexpr int kRegistrationComplete = 52;  // "Registration complete!"
inline constexpr int kSendingRegistration = 53;   // "Sending registration"
inline constexpr int kWriteName = 54;             // "Please write a name!"
inline constexpr int kNewDriverFound = 68;        // "A new driver version has been downloaded."
inline constexpr int kInstallNow = 69;            // "Install it now?"
inline constexpr int kAskedAgain =
    70;  // "You will be asked again next time you check for updates."

}  // namespace update::text
