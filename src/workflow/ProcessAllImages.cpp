#include "workflow/ProcessAllImages.h"

#include "graphics/GraphicRegistry.h"
#include "workflow/BatchProgress.h"
#include "workflow/LogSink.h"
#include "workflow/SavePage.h"

#include <exception>
#include <memory>

std::string ProcessingErrorLine(const std::string& fileName, const std::string& message) {
  return "Error processing " + fileName + " - " + message;
}

TProcessSummary ProcessAllImages(const std::vector<std::string>& files,
                                 const TPageOperation& operation, TLogSink& log,
                                 TBatchProgress* progress, const TPageStoredHandler& onStored) {
  TProcessSummary summary;
  const TBatchProgressScope scope(progress, static_cast<int>(files.size()));
  for (size_t k = 0; k < files.size(); ++k) {
    const std::string& file = files[k];
    scope.Position(static_cast<int>(k));
    ++summary.Files;
    try {
      std::unique_ptr<TDibGraphic> graphic = GraphicForFile(file);
      // Only the first page of a multi-page file is processed.
      graphic->SetImageToLoad(1);
      graphic->LoadFromFile(file);
      const TPageContext context{file, 0};
      if (operation(*graphic, &context) == 0) {
        SavePageIntoFile(file, 1, *graphic);
        ++summary.Stored;
        if (onStored) onStored(file, *graphic);
      }
    } catch (const std::exception& error) {
      ++summary.Failed;
      log.AddLine(ProcessingErrorLine(file, error.what()));
    }
  }
  return summary;
}
