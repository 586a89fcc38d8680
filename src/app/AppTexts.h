#pragma once

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
inline constexpr const char* kNotAvailableYet = "Not available yet";
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

} // namespace AppTexts
