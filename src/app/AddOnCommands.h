#pragma once

#include "workflow/AddOns.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TFormMain;
class TOperatorPrompt;

// The plug-in modules of the program folder, loaded for the life of the
// window, and the two commands that hand pages to outside code:
// ActionCustomProcessing (a module on the page shown or on every batch
// file) and ActionImageProcessing (the external image processor on the
// whole batch).
class TAddOnCommands : public QObject {
  Q_OBJECT

public:
  TAddOnCommands(TFormMain& window, TOperatorPrompt& prompt, QObject* parent = nullptr);

  const TAddOnList& AddOns() const { return FAddOns; }
  // The processor's path, asked for on the first use and kept until the
  // program ends.
  const QString& ProcessorExe() const { return FProcessorExe; }

  void CustomProcessing(); // ActionCustomProcessing
  void ImageProcessing();  // ActionImageProcessing

private:
  void ProcessBatch(TRuntimeAddOnInfo& run);
  void ProcessViewerPage(TRuntimeAddOnInfo& run);
  void ReopenIfAsked(int32_t ended);

  TFormMain& FWindow;
  TOperatorPrompt& FPrompt;
  TAddOnList FAddOns;
  QString FProcessorExe;
};

// Writes the list file for the external processor: each path followed by
// CR LF, the last one too, replacing an existing file only once the new one
// is complete.
void WriteFilesList(const QString& listFile, const QStringList& paths);
// Starts the processor without waiting for it, with the script and the
// list file as two arguments; false when it could not be started.
bool StartProcessor(const QString& processor, const QString& script, const QString& listFile);
