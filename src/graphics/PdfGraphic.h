#pragma once

#include "graphics/DibGraphic.h"

#include <cstdint>
#include <memory>
#include <vector>

// Image-only PDF files: one image per page. Reading takes the files this
// class writes and image-only files of other writers;
// any other PDF raises EPDFReadError with what is wrong with it.
//
// Writing makes a PDF 1.3 file of one page whose image fills it, sized from
// the image's pixels and resolution. Appending rewrites the file with one
// more page: the earlier pages' image data is copied as it is stored, only
// the new page is coded.
class TPdfGraphic : public TDibGraphic {
public:
  const char* ClassName() const override { return "TPdfGraphic"; }
  std::unique_ptr<TDibGraphic> CreateEmpty() const override;
  bool IsFormatStream(TStream& stream) override; // "%PDF-"
  int ImageCount(TStream& stream) override;      // the position is restored
  // Resolution: the image's pixels over the page's media box.
  void LoadImage(TStream& stream, int imageNumber) override;
  void SaveToStream(TStream& stream) override;
  // Rewrites the PDF file that runs from the stream's position to its end
  // with the image as its last page (a plain save into an empty stream). The
  // new file is made in memory first; a failure leaves the stream's contents
  // as they were.
  void AppendToStream(TStream& stream) override;
  // The rewritten file takes the old one's place whole, by renaming, while
  // the old file is locked against other writers; a failure leaves the old
  // file untouched.
  void AppendToFile(const std::string& fileName) override;

  // Writes to target the PDF file whose bytes are given with page pageNumber
  // (from 1) replaced by the image: the other pages' image data is copied as
  // stored, only the new page is coded. Returns false, writing nothing, for
  // a number outside the file.
  bool WriteReplacing(const std::vector<uint8_t>& file, int pageNumber, TStream& target);
};

// The pages of a PDF file parsed once, from the stream's position to its
// end: reading every page of a file one after the other does not parse it
// again for each. Raises as TPdfGraphic's reading does.
class TPdfPages {
public:
  explicit TPdfPages(TStream& stream);
  explicit TPdfPages(std::vector<uint8_t> file);
  TPdfPages(const TPdfPages&) = delete;
  TPdfPages& operator=(const TPdfPages&) = delete;
  ~TPdfPages();
  int Count() const;
  // Reads page imageNumber (from 1) into target.
  void Load(int imageNumber, TPdfGraphic& target);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};
