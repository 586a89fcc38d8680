#pragma once

#include "graphics/DibGraphic.h"

#include <cstdint>
#include <functional>

// Turns one graphic into another. Apply changes a graphic in place (it keeps
// its previous content when the transform fails before the final copy);
// ApplyOnDest leaves the source alone and fills the destination.
class TImageTransform {
public:
  using TProgressHandler = std::function<void(TImageTransform& sender, int percent)>;

  TImageTransform() = default;
  TImageTransform(const TImageTransform&) = delete;
  TImageTransform& operator=(const TImageTransform&) = delete;
  virtual ~TImageTransform() = default;

  virtual const char* ClassName() const { return "TImageTransform"; }
  virtual void Apply(TDibGraphic& graphic);
  virtual void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest);

  // Called with the percentage done, only when it changes.
  TProgressHandler ProgressHandler;

protected:
  // Reports (done - first) x 100 div (last - first), kept within 0 to 100.
  void Progress(int64_t done, int64_t first, int64_t last);

private:
  int FLastPercent = 255; // none reported yet
};
