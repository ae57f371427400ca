#include "localization/messages.h"

namespace kx {

namespace {

// Texts are the program's own, spelling and spacing included ("Inpecting", "you system
// memory" and the key MSG_NOTSELECED are long-standing and keyed by translations).
// "[Company]" in MSG_CAPTION is filled in as the company name like "[CompanyName]".
constexpr BuiltInMessage kMessages[] = {
    {"MSG_THANK1", "Thank you for using [ProgramName]!"},
    {"MSG_THANK2", "Because this is the first time you have used [ProgramName] we recommend running Live Update now to download the most recent adware and spyware definitions."},
    {"MSG_THANK3", "Would you like to run Live Update now?"},
    {"MSG_THANK4", "Update Now?"},
    {"MSG_MISSING", "Definition files are missing or they have been corrupted. Please run Live Update."},
    {"MSG_PAUSED", "[ProgramName] has been paused.  Click OK to resume."},
    {"MSG_SURE", "Are you sure?"},
    {"MSG_EXCLUDE1", "No exclusion file exists yet."},
    {"MSG_EXCLUDE2", "No Exclusion File"},
    {"MSG_INTERNET", "Definitions could not be downloaded. Please check your internet connection."},
    {"MSG_ANON1", "By sending anonymous data you can help us identify new spyware more quickly."},
    {"MSG_ANON2", "No personal information is collected, the only information sent is executable names that are currently loaded into memory."},
    {"MSG_ANON3", "Do you really want to turn off anonymous data collection?"},
    {"MSG_ANON4", "Really turn off anonymous data collection?"},
    {"MSG_SORRY", "Sorry, there are no entries to be excluded."},
    {"MSG_SORRY2", "Sorry, there are no entries to be deleted."},
    {"MSG_EXC_SURE1", "Are you sure you want to exclude the selected files?"},
    {"MSG_EXC_SURE2", "Excluded files will not show up as Adware/Spyware on future scans."},
    {"MSG_EXC_SURE3", "You can edit the list of excluded files through the Quarantine menu."},
    {"MSG_EXC_SURE4", "Really Exclude?"},
    {"MSG_DATE", "Please select the date that you want to scan."},
    {"MSG_TIME", "Please select the time that you want to scan."},
    {"MSG_DAY", "Please select the day that you want to scan."},
    {"MSG_STOP", "Are you sure you want to stop the scan?"},
    {"MSG_SELECTED", "No entries are selected.  You must check the box next to at least one item in the list."},
    {"MSG_CONFIRM1", "Are you sure you want to delete the selected files?"},
    {"MSG_CONFIRM2", "Deleted files will be backed up in the following folder in case you need to recover them:"},
    {"MSG_CONFIRM3", "In addition, a System Restore Point will be created using Windows System Restore, accessible through:"},
    {"MSG_CONFIRM4", "Start > Programs > Accessories > System Tools > System Restore"},
    {"MSG_ERROR_STOPPED", "could not be stopped.  You should try again after saving your work and closing any open applications."},
    {"MSG_FOUND1", "[ProgramName] has found ["},
    {"MSG_FOUND2", "] using you system memory. Click YES to stop ["},
    {"MSG_FOUND3", "] from using your system memory. Otherwise click No."},
    {"MSG_CLOSING", "Closing [ProgramName] may leave your system vulnerable to malicious programs. Are you sure you want to exit?"},
    {"MSG_REALLY", "Really Delete?"},
    {"MSG_REMOVING", "Removing : 0% Completed."},
    {"MSG_REMOVING2", "Removing"},
    {"MSG_COMPLETED", "Completed."},
    {"MSG_MISSINGFILES", "Files Missing, Run Live Update"},
    {"MSG_NOCOMPANY", "No Company name available for"},
    {"MSG_DOWNLOADING", "Connecting to server/downloading....."},
    {"MSG_CONNECTING", "Connecting to server....."},
    {"MSG_CHECKING", "Checking for Definitions....."},
    {"MSG_CONNECTING2", "Connecting to the Server."},
    {"MSG_SENDING", "Sending and receiving data, please wait."},
    {"MSG_SENT", "Successfully sent the request."},
    {"MSG_RECEIVING", "Receiving a response from the Server."},
    {"MSG_SCAN_CANCELLED", "Scanning was cancelled."},
    {"MSG_SCAN_COMPLETED", "Scanning complete."},
    {"MSG_RESULTS", "Results:"},
    {"MSG_RESULTS_THANK", "submitted.  Thank you!"},
    {"MSG_PROBLEM", "There was a problem submitting"},
    {"MSG_PROBLEM2", "Please make sure you are connected to the internet, or try again later."},
    {"MSG_UPDATED_DEFS", "Your [ProgramName] definitions have been updated!"},
    {"MSG_RECENT_DEFS", "You are using the most recent [ProgramName] definitions."},
    {"MSG_DEFS_UNCONFIRMED", "Your definitions could not be confirmed as current: Live Update has not reached the server for 7 days."},
    {"MSG_UPDATE_FAILED", "[ProgramName] could not update its definitions. Please check your internet connection and try again later."},
    {"MSG_WEBSITE", "Visit [Website]"},
    {"MSG_CAPTION", "[ProgramName] by [Company]"},
    {"MSG_CAPTION2", "Welcome to [ProgramName]"},
    // Titles that name the program: the Status panel's frame and the log window.
    {"MSG_STATUS_TITLE", "[ProgramName] Status"},
    {"MSG_LOG_TITLE", "[ProgramName] Log"},
    // The scan report's headings; its rows are data and stay as they are.
    {"MSG_REPORT_TITLE", "Scan Report."},
    {"MSG_REPORT_STARTED", "Scan Started at  :"},
    {"MSG_REPORT_FINISHED", "Scan Finished at :"},
    {"MSG_REPORT_MEMORY", "Total Number of Cookies and Processes inspected:"},
    {"MSG_REPORT_REGISTRY", "Total Number of Registry entries inspected:"},
    {"MSG_REPORT_FILES", "Total Number of Files/Folders inspected:"},
    {"MSG_COOKIES", "Inspecting Cookies"},
    {"MSG_COOKIES_FINISHED", "Finished Inpecting Cookies"},
    {"MSG_MEMORY", "Inspecting memory"},
    {"MSG_NOTSELECED", "Not Selected"},
    {"MSG_REGISTRY", "Scanning registry"},
    {"MSG_SPYWARE", "Scanning known Spyware/Adware"},
    {"MSG_INFORMATION", "Gathering information..."},
    {"MSG_RESTOREPOINT", "Creating Restore Point..."},
    {"MSG_COMPLETE", "complete"},
    // Asked for by the language window, which has no texts of its own.
    {"MSG_TITLELANGUAGE", "Language Selection"},
    {"MSG_DOWNLOADED", "The newest language file has been downloaded."},
    {"MSG_LANGUAGE_NOT_SAVED", "The new language file could not be saved, because [ProgramName] may not write to its program folder. Run [ProgramName] as an administrator to update its languages. The languages you have are unchanged."},
    // A failed write of the exclusion file must not look like an exclusion.
    {"MSG_EXCLUDE_FAILED", "The exclusion list could not be saved. The selected items have not been excluded."},
    // Shown on the Status panel before the first scan.
    {"MSG_NEVER", "Never"},
    // A row of the scan's live list, followed by the file name.
    {"MSG_NOTSTOPPED", "Detected in the memory but could not be stopped:"},
    // Before the definitions' date on the Auto Update tab, which is no translation item.
    {"MSG_LASTUPDATE", "Signatures Last Updated On"},
    // The Restore window: each row's outcome, its registry rows, the group from before runs
    // were recorded, and the question before copies go for good.
    {"MSG_RESTORED", "Restored"},
    {"MSG_RESTORE_SKIPPED", "Skipped"},
    {"MSG_RESTORE_FAILED", "Failed"},
    {"MSG_RESTORE_REGISTRY", "Registry entries"},
    {"MSG_RESTORE_EARLIER", "Earlier"},
    {"MSG_RESTORE_DISCARD", "The copies of the selected items will be deleted for good and cannot be restored afterwards. Delete them?"},
    // File > Undo last definitions update.
    {"MSG_UNDO_DEFS_SURE", "Put back the definitions as they were before the last Live Update?"},
    {"MSG_UNDO_DEFS_DONE", "The previous definitions are back. They are dated"},
    {"MSG_UNDO_DEFS_FAILED", "The previous definitions could not be put back; the definitions are unchanged."},
    // The Results panel after a removal run: %1 removed, %2 failed, %3 the quarantine folder.
    {"MSG_REMOVAL_SUMMARY", "%1 item(s) removed. Copies are kept in the quarantine: %3"},
    {"MSG_REMOVAL_SUMMARY_FAILED", "%1 item(s) removed, %2 could not be removed (listed in the \"Delete Failed\" window). Copies are kept in the quarantine: %3"},
};

}  // namespace

std::span<const BuiltInMessage> BuiltInMessages() { return kMessages; }

}  // namespace kx
