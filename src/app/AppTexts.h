#pragma once

#include "workflow/BatchTexts.h"

// Every text the main window shows the operator besides the batch folder's
// (workflow/BatchTexts.h), kept in one place so the window and its tests
// read the same words.
namespace AppTexts {

inline constexpr const char* kApplicationTitle = "Vellumtrace Tessivane";
inline constexpr const char* kMainCaption = "Vellumtrace Tessivane";
inline constexpr const char* kHelpFile = "Tessivane.hlp";
inline constexpr const char* kOrganisation = "Vellumtrace";
inline constexpr const char* kApplication = "Tessivane";

// The batch folder's own texts are in workflow/BatchTexts.h.
inline constexpr const char* kFilePrefix = "File ";
inline constexpr const char* kAskSaveChanges =
    "Current image was processed: do you want save changes on file ?";
inline constexpr const char* kOpenBatchFolderTitle = "Open Batch Folder";

inline constexpr const char* kLogCaption = "Log";
inline constexpr const char* kPageStatus =
    "Page: %1 of %2 - Size: %3x%4 - Resolution: %5x%6 DPI - Bits Per Pixel: %7";

// Page commands and Save Batch As.
inline constexpr const char* kAskProcessAllImages =
    "Do you want to execute processing on all images in the batch ?";
inline constexpr const char* kSaveAsDialogTitle = "Sava as TIF or PDF";
inline constexpr const char* kSaveAsDialogFilter = "TIFF File|*.tif|PDF File|*.pdf";
inline constexpr const char* kSaveAsDefaultExt = ".tif";

// Scanning and the profile editor.
inline constexpr const char* kProfileEditorCaption = "Scanner Settings";
inline constexpr const char* kProfileEditorGroup = "TWAIN Scanner Settings";
inline constexpr const char* kProfileNameLabel = "Scanning Profile Name";
inline constexpr const char* kDefaultScanner = "Default Scanner";
inline constexpr const char* kThisScanner = "This Scanner:";
inline constexpr const char* kParameterLabel = "Parameter";
inline constexpr const char* kValueLabel = "Value";
inline constexpr const char* kAddButton = "Add";
inline constexpr const char* kRemoveButton = "Remove";
inline constexpr const char* kMoveUpButton = "Move Up";
inline constexpr const char* kMoveDownButton = "Move Down";
inline constexpr const char* kSettingsListLabel = "Profile Settings List";
inline constexpr const char* kOkButton = "OK";
inline constexpr const char* kCancelButton = "Cancel";

inline constexpr const char* kBatchFolderNotSelected = kScanWithoutBatchFolderText;

// Plug-in modules and the external image processor.
inline constexpr const char* kPlugInCaption = "Plug-In Custom Processing";
inline constexpr const char* kAvailableModules = "Available External Modules";
inline constexpr const char* kScriptDialogTitle = "Select Image Processing Script";
inline constexpr const char* kScriptDialogFilter = "Vellumtrace Image Processing Script|*.ips";
inline constexpr const char* kProcessorDialogTitle = "Select Image Processor EXE";
inline constexpr const char* kProcessorDialogFilter = "Executables|*";
inline constexpr const char* kProcessorNotSet =
    "Vellumtrace Image Processor executable was not yet set.";
inline constexpr const char* kProcessorNotSetMore =
    "In next dialog you will be asked to find and to select it, else batch processing cannot be "
    "performed.";
inline constexpr const char* kProcessorFailed = "Unable to run Vellumtrace Image Processor !";
inline constexpr const char* kProcessorFailedMore = "Check if it was installed properly and retry.";
inline constexpr const char* kFilesListName = "FilesList.txt";

// Printing
inline constexpr const char* kPrintJobTitle = "Vellumtrace Tessivane Print Job";
inline constexpr const char* kPrintJobNotStarted = "The print job could not be started";
inline constexpr const char* kPrintJobNotFinished = "The print job could not be finished";
inline constexpr const char* kPrintRangeInvalid = "The pages to print are not pages of the file";
inline constexpr const char* kPrinterSetupCaption = "Print Setup";
inline constexpr const char* kPrinterSetupPrinter = "Printer:";
inline constexpr const char* kPrinterSetupPaper = "Paper...";
inline constexpr const char* kPrinterSetupNone = "No printer is installed";

// The About box; the maker's lines are this program's own.
inline constexpr const char* kAboutCaption = "About";
inline constexpr const char* kAboutProduct = "Vellumtrace Tessivane";
inline constexpr const char* kAboutPlatform = "for Windows 9x/ME/NT/2000/XP";
inline constexpr const char* kAboutVersion = "Version 1.01 - April 2004";
inline constexpr const char* kMakerName = "Vellumtrace Technologies";
inline constexpr const char* kMakerAddress = "17 Weavers Row, Parchment Hill";
inline constexpr const char* kMakerTelephone = "Tel. +1 202 555 0134";
inline constexpr const char* kMakerFax = "Fax +1 202 555 0135";
inline constexpr const char* kMailLabel = "E-Mail:";
inline constexpr const char* kMakerMail = "info@vellumtrace.example";
inline constexpr const char* kWebLabel = "Internet web:";
inline constexpr const char* kMakerWeb = "https://www.vellumtrace.example/";

// Help.
inline constexpr const char* kHelpNotFound =
    "The help pages are not installed: none of %1 holds them.";
inline constexpr const char* kHelpNotOpened = "The desktop could not open the help page %1.";

// Scan commands.
// A transfer the scanner ended without a page (cancelled, jammed).
inline constexpr const char* kNoPageDelivered = "The scanner delivered no image for a page";

} // namespace AppTexts
