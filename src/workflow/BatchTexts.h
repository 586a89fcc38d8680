#pragma once

// The texts the batch folder commands show, exactly as the operator reads them.
inline constexpr const char* kBatchFolderNotSelectedText = "Batch Folder Not Selected";
inline constexpr const char* kImagesInBatchFormat = "%d images in the batch";
inline constexpr const char* kNoImageSelectedText = "No Image Selected";
inline constexpr const char* kDropWithoutBatchFolderText =
    "Please select a batch folder before to drop files !";
inline constexpr const char* kDeleteSelectedFileText = "Delete selected file ?";
inline constexpr const char* kImportDialogTitle = "Import Files";
inline constexpr const char* kImportDialogFilter = "TIFF Files|*.TIF";
// A scan into the batch while no batch folder is open.
inline constexpr const char* kScanWithoutBatchFolderText = "Batch folder not selected !";
// Raised when a new batch file is wanted and no batch folder is open.
inline constexpr const char* kNoBatchFolderText = "No batch folder is open.";
