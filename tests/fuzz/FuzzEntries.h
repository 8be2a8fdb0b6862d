#pragma once
// The readers of every file the program opens, each behind one entry that
// takes raw bytes. The fuzz targets call them with generated input and the
// regression test with the inputs that once broke them, so both run exactly
// the same code.
//
// An entry returns Accepted or Refused (the reader raised an ETarnError,
// which is the clean answer to bad input). Anything else is a fault: another
// exception escapes, and a broken invariant (a written form that does not
// read back the same, another key changed by a write) throws EFuzzCheck.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::fuzz {

enum class TFuzzResult { Accepted, Refused };

// Deliberately not an ETarnError: nothing in the readers may catch it.
class EFuzzCheck : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

using TFuzzEntry = TFuzzResult (*)(const uint8_t* data, std::size_t size);

struct TFuzzTarget {
    const char* Name;   // the fuzz target, its corpus folder and its fixtures folder
    TFuzzEntry Run;
};

// ".bmp": header, colour table and pixels decoded into an image.
TFuzzResult FuzzBmp(const uint8_t* data, std::size_t size);
// ".tr": a cache opened alone and beside a picture it may not match, or a
// one-bit ".bmp" (input beginning "BM") built into a cache; then drawn.
TFuzzResult FuzzTr(const uint8_t* data, std::size_t size);
// ".mts": the block file opened for reading, every block read and parsed as
// a header block, a project and a registered item; then one block written
// on a copy and the copy read back.
TFuzzResult FuzzMts(const uint8_t* data, std::size_t size);
// ".prj": a project in its filer form; input without the project magic is
// read as a collection of project items.
TFuzzResult FuzzPrj(const uint8_t* data, std::size_t size);
// Map objects: byte 0 picks the form (sheet filer, project filer, stream),
// bytes 1..24 the reading context (filer scale as a double, origin x and y,
// y base, sheet id), the rest is one record.
TFuzzResult FuzzMapObj(const uint8_t* data, std::size_t size);
// ".map": a map sheet through the sheet reader, read as the model first
// reads one (filer scale 1, no origins); then written in all three forms.
TFuzzResult FuzzMap(const uint8_t* data, std::size_t size);
// "tarn.ini" / "tsclnt31.ini": every section and key read, a key written,
// the rest read again; then identifiers asked of the file.
TFuzzResult FuzzIni(const uint8_t* data, std::size_t size);

// "tarn.dat" of a program folder and "banners.dat": every record handed on
// checked, every card's data read from the open file.
TFuzzResult FuzzTarnDat(const uint8_t* data, std::size_t size);

// Information cards: rich text read into a document and laid out; a zip
// archive unpacked into a card's folder (nothing may be written beside it,
// no link or special file inside it); a metafile replayed onto a picture.
TFuzzResult FuzzRtf(const uint8_t* data, std::size_t size);
TFuzzResult FuzzZip(const uint8_t* data, std::size_t size);
TFuzzResult FuzzWmf(const uint8_t* data, std::size_t size);

// ".prj", ".mts", ".map" opened by a model that holds a demo sheet, with a
// view: a refusal leaves the model as it was; what opens is drawn, saved
// (projects) and opened again.
TFuzzResult FuzzModelPrj(const uint8_t* data, std::size_t size);
TFuzzResult FuzzModelMts(const uint8_t* data, std::size_t size);
TFuzzResult FuzzModelMap(const uint8_t* data, std::size_t size);

// Set by the fuzz targets: the model targets' demo city is made once into a
// cache shared by the processes of one build (the replay test makes its own).
extern bool ShareDemoCity;

const std::vector<TFuzzTarget>& FuzzTargets();
const TFuzzTarget* FindFuzzTarget(std::string_view name);

// The largest picture (in pixels) the harness decodes or builds: bigger ones
// are legitimate but only cost time; their headers are still checked.
constexpr int64_t MaxFuzzPixels = int64_t(1) << 22;

// The one-bit picture (600 x 300) that the tr target puts beside each cache.
const std::string& ReferencePicture();

// A private folder for the readers that need files, removed at exit.
const std::string& FuzzFolder();

} // namespace tarn::fuzz
