#pragma once

#include "graphics/DibGraphic.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One file format of the graphic format table.
struct TGraphicFormat {
  std::vector<std::string> Extensions; // upper case, without the dot
  std::string Description;
  std::function<std::unique_ptr<TDibGraphic>()> Create;
};

// Makes a graphic class of one type the format for some extensions; a
// format of the same class registered later adds its extensions.
template <typename TGraphic>
TGraphicFormat GraphicFormatOf(std::vector<std::string> extensions, std::string description) {
  return {std::move(extensions), std::move(description),
          [] { return std::make_unique<TGraphic>(); }};
}

// The table starts with the built-in formats. Registering an extension
// again replaces its earlier class. Safe to use from several threads.
void RegisterGraphicFormat(const TGraphicFormat& format);
std::vector<TGraphicFormat> GraphicFormats();
// The format registered for an extension (any case, with or without the dot).
std::optional<TGraphicFormat> FindGraphicFormat(const std::string& extension);

// An empty graphic of the class registered for the file's extension. An
// extension without a class raises "Graphic files of %s format are not
// supported or not registered" with the extension as the name gives it (".png").
std::unique_ptr<TDibGraphic> GraphicForFile(const std::string& fileName);
// The extension of a file name with its dot, as written, or empty.
std::string FileExtension(const std::string& fileName);
