#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/TiffGraphic.h"
#include "workflow/AddOns.h"
#include "workflow/LogSink.h"

void RunAddOnOverFiles(const std::vector<std::string>& files, TRuntimeAddOnInfo& run, TLogSink& log,
                       const TFilePosition& position, const TStoreFirstPage& store) {
  for (size_t k = 0; k < files.size(); ++k) {
    const std::string& file = files[k];
    if (position) position(static_cast<int>(k));
    try {
      std::unique_ptr<TDibGraphic> graphic = GraphicForFile(file);
      graphic->SetImageToLoad(1);
      graphic->LoadFromFile(file);
      if (RunAddOnOnFile(*graphic, run, file, 0) == 0) store(file, *graphic);
    } catch (const std::exception& error) {
      log.AddLine("Error processing " + file + " - " + error.what());
    }
  }
}

void StoreFirstPage(const std::string& fileName, TDibGraphic& graphic) {
  int pages = 1;
  {
    TTiffGraphic probe;
    TFileStream source(fileName, TFileStream::fmOpenRead);
    if (probe.IsFormatStream(source)) pages = probe.ImageCount(source);
  }
  if (pages <= 1) {
    graphic.SaveToFile(fileName);
    return;
  }
  // Every page is written again into a replacement that takes the file's
  // place only when it is complete; the pages after the first keep their
  // own compression.
  TFileStream source(fileName, TFileStream::fmOpenRead);
  TMemoryStream content;
  for (int i = 1; i <= pages; ++i) {
    TTiffGraphic page;
    if (i == 1) {
      page.Assign(graphic);
      if (const auto* tiff = dynamic_cast<const TTiffGraphic*>(&graphic))
        page.SetCompression(tiff->Compression());
    } else {
      source.SetPosition(0);
      page.LoadImage(source, i);
    }
    // Reading and appending both take the file from the stream's position on.
    content.SetPosition(0);
    page.AppendToStream(content);
  }
  TReplacingFileStream target(fileName);
  target.WriteBuffer(content.Memory(), content.Bytes().size());
  target.Commit();
}
