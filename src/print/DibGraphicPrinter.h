#pragma once

#include "print/PrintGeometry.h"

#include <string>

class QPainter;
class QPrinter;
class TDibGraphic;

// Prints one graphic on a printer: works out the picture's rectangle from
// the size mode, the inch sizes and the margins, and stretches the graphic
// into it. With ManageJob the printer object sets the orientation and runs a
// job of its own for each Print; without it Print draws on the canvas of the
// job the caller opened (SetCanvas) and leaves orientation and job alone.
class TDibGraphicPrinter {
public:
  explicit TDibGraphicPrinter(QPrinter& printer);

  TPrintSizeMode SizeMode() const { return FPlacement.Mode; }
  void SetSizeMode(TPrintSizeMode mode);
  double WidthInches() const { return FPlacement.WidthInches; }
  void SetWidthInches(double inches) { FPlacement.WidthInches = inches; }
  double HeightInches() const { return FPlacement.HeightInches; }
  void SetHeightInches(double inches) { FPlacement.HeightInches = inches; }
  double LeftMargin() const { return FPlacement.LeftMargin; }
  void SetLeftMargin(double inches) { FPlacement.LeftMargin = inches; }
  double TopMargin() const { return FPlacement.TopMargin; }
  void SetTopMargin(double inches) { FPlacement.TopMargin = inches; }
  bool ManageJob() const { return FManageJob; }
  void SetManageJob(bool manageJob) { FManageJob = manageJob; }
  const std::string& JobTitle() const { return FJobTitle; }
  void SetJobTitle(const std::string& title) { FJobTitle = title; }
  // The painter of the caller's open job, used when ManageJob is off.
  void SetCanvas(QPainter* canvas) { FCanvas = canvas; }

  // The metrics last read from the printer.
  const TPrinterMetrics& Metrics() const { return FMetrics; }
  // The printable area, resolution and unprintable margins of the printer now.
  static TPrinterMetrics ReadMetrics(const QPrinter& printer);

  // Prints the graphic; returns the rectangle it was drawn into.
  TPrintRect Print(const TDibGraphic& graphic);

private:
  void SetOrientation(bool landscape);
  void Draw(const TDibGraphic& graphic, QPainter& painter, const TPrintRect& rect);

  QPrinter& FPrinter;
  QPainter* FCanvas = nullptr;
  TPrintPlacement FPlacement;
  TPrinterMetrics FMetrics;
  bool FManageJob = true;
  std::string FJobTitle;
};
