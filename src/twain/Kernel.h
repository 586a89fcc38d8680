#pragma once

#include "core/Dispatcher.h"
#include "twain/Locale.h"
#include "twain/Session.h"
#include "twain/Thread.h"
#include "twain/Types.h"

#include <memory>
#include <string>

// The session with the Data Source Manager and one data source: the
// application identity announced, the identity of the current source, the
// connection flags, the TWAIN state, and the operations that open, enable and
// close. Every manager call runs on the worker thread; the operations block
// their caller until done or timed out.
class TAcqTWAINKernel : public TTwnObject {
public:
  explicit TAcqTWAINKernel(TUIDispatcher& dispatcher);
  ~TAcqTWAINKernel() override;

  // Application identity. The texts keep at most 32 characters.
  TAcqCountry Country() const;
  void SetCountry(TAcqCountry country);
  TAcqLanguage Language() const;
  void SetLanguage(TAcqLanguage language);
  std::string Manufacturer() const;
  void SetManufacturer(const std::string& text);
  std::string ProductFamily() const;
  void SetProductFamily(const std::string& text);
  std::string ProductName() const;
  void SetProductName(const std::string& text);
  TW_IDENTITY AppIdentity() const { return FSession.App(); }

  TW_IDENTITY SourceIdentity() const { return FSession.Source(); }
  void SetSourceIdentity(const TW_IDENTITY& identity) { FSession.SetSource(identity); }
  std::string SourceName() const;
  // The open source's protocol: major × 10 + minor (19 for 1.9).
  int SourceProtocol() const { return FSession.SourceProtocol; }

  bool DSMOpen() const { return FSession.DSMOpen; }
  bool SourceOpen() const { return FSession.SourceOpen; }
  bool SourceEnabled() const { return FSession.SourceEnabled; }
  int State() const { return FSession.State; }
  TTwnFailure LastFailure() const;
  // The memory functions blocks are exchanged through (see TTwnMemory).
  TTwnMemory Memory() const { return FSession.Memory(); }

  // Time-out of a request to the worker, 60 000 ms unless changed.
  uint32_t Timeout() const { return FSession.Timeout; }
  void SetTimeout(uint32_t milliseconds) { FSession.Timeout = milliseconds; }

  uint16_t OpenDSM();
  uint16_t CloseDSM();
  uint16_t OpenDS();
  uint16_t CloseDS();
  // The source's answer to ShowUI and ModalUI comes back in the last two.
  uint16_t EnableDS(bool showUI, TW_BOOL& shownUI, TW_BOOL& modalUI);
  uint16_t DisableDS();
  // Any other triplet; DAT_IDENTITY and DAT_PARENT always go to the manager.
  uint16_t Triplet(uint32_t DG, uint16_t DAT, uint16_t MSG, void* data, size_t size,
                   bool toSource = true, TTripletOptions options = {});

  // Source enumeration: the returned identity becomes the source identity.
  // Both fail (1) while a source is open.
  uint16_t GetFirstSource(std::string& productName);
  uint16_t GetNextSource(std::string& productName);
  // The first source whose product name equals the name exactly; without
  // one (or with an empty name) the source identity stays as it was.
  bool SelectSourceByName(const std::string& productName);
  // The manager's own selection dialog, run while neither the manager nor a
  // source is open; the chosen source becomes the source identity. The
  // caller waits, a user-interface thread keeping its windows painted.
  uint16_t UserSelectSource();

protected:
  TUIDispatcher& Dispatcher() const { return FDispatcher; }
  TAcqTWAINThread& EventThread() const { return *FThread; }
  // Ends the threads; the most derived class calls it first in its destructor.
  void StopThreads();

private:
  void UpdateIdentity(void (*change)(TW_IDENTITY&, const std::string&), const std::string& text);
  uint16_t Enumerate(uint16_t msg, std::string& productName);
  // The manager's selection session itself (on the dialog's own thread).
  uint16_t RunSelection();

  TUIDispatcher& FDispatcher;
  // Shared with the worker thread, which may outlive the component when a
  // source hangs (see TAcqTWAINThread::ReleaseWorker).
  std::shared_ptr<TTwnSession> FSessionOwner = std::make_shared<TTwnSession>();
  TTwnSession& FSession = *FSessionOwner;
  std::unique_ptr<TAcqTWAINThread> FThread;
};

// Copies at most 32 characters into a TW_STR32 field.
void SetStr32(TW_STR32& field, const std::string& text);
std::string Str32(const TW_STR32& field);
