#include "app/ConvertPicture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "app/FileTimes.h"
#include "app/OutputNames.h"
#include "app/Trash.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "common/Tools.h"
#include "formats/BitmapEx.h"
#include "formats/FormatTable.h"
#include "formats/colour/SrgbConversion.h"
#include "formats/metadata/Exif.h"
#include "picture/Canvas.h"
#include "picture/Orientation.h"
#include "picture/Rotate.h"
#include "picture/SmoothScale.h"

namespace corvalin {

namespace {

// A file exists when something that is no folder has that name (a link
// counts as what it points to).
bool FileExists(const std::string& fileName)
{
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void RotateClockwise(TBitmapEx& source, TBitmapEx& target, int32_t turns)
{
    for (int32_t turn = 0; turn < turns; ++turn) {
        RotateQuarterClockwise(source, target);
        source.AssignPicture(&target);
    }
}

// A source with alpha is drawn into a 32-bit picture with alpha, any other
// into the fresh 24-bit one. Smooth scaling leaves a picture that keeps its
// size to the nearest pixel, which copies it exactly.
void ScaleInto(const TBitmapEx& source, TBitmapEx& target, TTargetSize size, bool smooth)
{
    if (smooth && (size.width != source.Width() || size.height != source.Height())) {
        target.AdoptRaster(ScaleSmoothly(*source.Raster(), size.width, size.height));
        return;
    }
    if (source.Raster()->hasAlpha) {
        target.NewRaster(size.width, size.height, TPixelFormat::pf32bit).hasAlpha = true;
    } else {
        target.SetPictureWidth(size.width);
        target.SetPictureHeight(size.height);
    }
    target.Canvas().DrawStretched(TRect{0, 0, size.width, size.height}, source);
}

void ChangeColorDepth(TBitmapEx& target, int32_t colorDepth)
{
    switch (colorDepth) {
    case 1: target.ChangePixelFormat(TPixelFormat::pf1bit); break;
    case 2: target.ChangePixelFormat(TPixelFormat::pf4bit); break;
    case 3: target.ChangePixelFormat(TPixelFormat::pf8bit); break;
    case 4: target.ChangePixelFormat(TPixelFormat::pf16bit); break;
    case 5: target.ChangePixelFormat(TPixelFormat::pf24bit); break;
    case 6: target.ChangePixelFormat(TPixelFormat::pf32bit); break;
    default: break;  // 0 and anything else: unchanged
    }
}

// The size a picture of width x height as shown gets: the fit's, or its own
// when it is never to be enlarged and the fit would make it wider or taller.
TTargetSize ResultSize(const TConversionSettings& settings, int32_t width, int32_t height)
{
    const TTargetSize fit = FitTargetSize(settings.FitMode, width, height, settings.Width, settings.Height);
    if (settings.Scaling.ShrinkOnly && (fit.width > width || fit.height > height))
        return {width, height};
    return fit;
}

TTargetSize Turned(TTargetSize size, bool quarterTurn)
{
    return quarterTurn ? TTargetSize{size.height, size.width} : size;
}

bool TurnsAQuarter(int orientation)
{
    return orientation >= 5;  // the Exif orientations that swap width and height
}

// How far smooth scaling lets a reader reduce a picture while decoding: as
// far as leaves at least twice the result's size both ways, as the filter
// needs the detail between its samples. `quarterTurn` says whether the
// picture is shown turned a quarter; `storedSize` receives the picture's
// size as stored. A size that cannot be worked out allows no reduction.
TReductionRequest ReductionFor(const TConversionSettings& settings, bool quarterTurn,
                               std::optional<TTargetSize>& storedSize)
{
    return {[&settings, quarterTurn, &storedSize](int32_t width, int32_t height) -> int32_t {
        storedSize = TTargetSize{width, height};
        TTargetSize size;
        try {
            const TTargetSize shown = Turned({width, height}, quarterTurn);
            size = Turned(ResultSize(settings, shown.width, shown.height), quarterTurn);
        } catch (const Exception&) {
            return 1;
        }
        if (size.width <= 0 || size.height <= 0)
            return 1;
        return int32_t(std::min(width / (2 * int64_t(size.width)), height / (2 * int64_t(size.height))));
    }};
}

// An unturned picture that gets fewer rows needs only the rows the scaling
// samples; a reader that can decode those alone asks for them, and
// `sampledSize` then receives the target size worked out from the picture's
// full size. A size that cannot be worked out leaves every row to be read,
// so that the failure comes, as ever, after the picture has been read.
TRowRequest RowsToSample(const TConversionSettings& settings,
                         std::optional<TTargetSize>& sampledSize)
{
    if (settings.Rotation > 0)
        return {};
    return [&settings, &sampledSize](int32_t width, int32_t height) -> int32_t {
        TTargetSize size;
        try {
            size = ResultSize(settings, width, height);
        } catch (const Exception&) {
            return 0;
        }
        if (size.width <= 0 || size.height <= 0 || size.height >= height)
            return 0;
        sampledSize = size;
        return size.height;
    };
}

constexpr const char* kLossyRewrite =
    "Die Datei ist verlustfrei gespeichert; sie würde verlustbehaftet ersetzt und bleibt unverändert. "
    "Eine Kopie oder ein anderes Zielformat speichert das Bild";

// Writes a picture without loss. A size limit cannot lower the quality
// then: a file the lossless encoding does not fit stays as it is.
int32_t SaveLossless(const TBitmapEx& picture, const std::string& fileName, FormatIndex format, const TFormatRow& row,
                     int64_t maxBytes)
{
    const int32_t quality = row.LosslessQuality;
    if (maxBytes <= 0 || row.Encode == nullptr) {
        picture.SaveWithinSize(fileName, format, quality, 0);
        return 0;
    }
    const std::vector<uint8_t> bytes = row.Encode(picture, quality, picture.Metadata);
    if (int64_t(bytes.size()) > maxBytes)
        throw EInvalidOperation(FormatText(
            "Die Datei ist verlustfrei gespeichert; verlustfrei wäre sie %d KB groß statt höchstens %d KB und "
            "bleibt unverändert. Eine Kopie oder eine größere Zielgröße speichert das Bild",
            {std::to_string((int64_t(bytes.size()) + 1023) / 1024), std::to_string(maxBytes / 1024)}));
    WriteFileAtomically(fileName, [&](TStream& file) { file.WriteBuffer(bytes); });
    return quality;
}

// What a result line adds about a source that was not replaced.
std::string SourceNote(const TSourceReport& source, size_t pictures)
{
    std::string note;
    if (pictures > 1)
        note += FormatText(" (Quelle enthält %d Bilder; das erste wurde übernommen)", {std::to_string(pictures)});
    if (source.damaged)
        note += " (Quelle beschädigt)";
    return note;
}

// The Exif orientation that loading turns away: with neither upright
// pictures nor stripping chosen the picture stays as stored; stripping
// turns it, as no tag would be left to say how to show it.
int OrientationToTurn(const TBitmapEx& picture, const TMetadataChoices& choices)
{
    if (!choices.AutoOrient && !choices.Strip)
        return 0;
    return ExifOrientation(picture.Metadata.exif);
}

// Loads the picture for nearest scaling. Rows sampled for the stored
// picture are not the rows of the turned one (a mirror left to right
// aside): such a picture is decoded again whole.
void LoadForNearest(TBitmapEx& source, std::span<const uint8_t> file, TFormatChoice& formats, size_t& pictures,
                    const TConversionSettings& settings, std::optional<TTargetSize>& sampledSize, int& orientation)
{
    source.Load(file, formats, pictures, {RowsToSample(settings, sampledSize), {}, false});
    orientation = OrientationToTurn(source, settings.Metadata);
    if (orientation > 2 && sampledSize) {
        sampledSize.reset();
        source.Load(file, formats, pictures, {});
    }
}

// Loads the picture for smooth scaling, reduced as far as the picture as
// shown allows. The orientation is known only once the file is decoded: a
// picture that turns out to be turned a quarter and would have allowed
// another reduction is decoded again. `shownSize` receives the size of the
// unreduced picture as shown when the reader reduced it.
void LoadForSmooth(TBitmapEx& source, std::span<const uint8_t> file, TFormatChoice& formats, size_t& pictures,
                   const TConversionSettings& settings, std::optional<TTargetSize>& shownSize, int& orientation)
{
    const bool rotated = settings.Rotation % 2 == 1;
    std::optional<TTargetSize> stored;
    source.Load(file, formats, pictures, {{}, ReductionFor(settings, rotated, stored), false});
    orientation = OrientationToTurn(source, settings.Metadata);
    if (stored && TurnsAQuarter(orientation)) {
        std::optional<TTargetSize> unused;
        const TReductionRequest chosen = ReductionFor(settings, rotated, unused);
        const TReductionRequest turned = ReductionFor(settings, !rotated, unused);
        if (chosen.largestFactor(stored->width, stored->height) != turned.largestFactor(stored->width, stored->height))
            source.Load(file, formats, pictures, {{}, turned, false});
    }
    if (stored && (stored->width != source.Width() || stored->height != source.Height()))
        shownSize = Turned(*stored, TurnsAQuarter(orientation));
}

bool CarriesCmykProfile(const TPictureMetadata& metadata)
{
    return metadata.source.colourModel == TSourceReport::TColourModel::Cmyk &&
           IccColorSpace(metadata.iccProfile) == "CMYK";
}

// Loads the picture as the file's decoded metadata show the way, decoding
// it again where they show that another decode was needed.
void LoadStepByStep(TBitmapEx& source, std::span<const uint8_t> file, TFormatChoice& formats, size_t& pictures,
                    const TConversionSettings& settings, std::optional<TTargetSize>& loadedSize, int& orientation)
{
    if (settings.Scaling.Smooth)
        LoadForSmooth(source, file, formats, pictures, settings, loadedSize, orientation);
    else
        LoadForNearest(source, file, formats, pictures, settings, loadedSize, orientation);
    // Readers turn CMYK inks into RGB by a formula that no profile describes.
    // With "srgb" a CMYK file carrying its CMYK profile is decoded whole
    // through the profile, which no reader's sampled or reduced path knows.
    if (settings.Metadata.Srgb && CarriesCmykProfile(source.Metadata)) {
        source.Load(file, formats, pictures, {{}, {}, true});
        loadedSize.reset();
    }
}

// What a file's probe says before anything is decoded: the orientation
// the load turns away, and whether colour comes through a CMYK profile.
struct TLoadPlan {
    int orientation = 0;
    bool cmykThrough = false;
};

std::optional<TLoadPlan> PlanByProbe(std::span<const uint8_t> file, FormatIndex named,
                                     const TConversionSettings& settings)
{
    const TFormatRow& row = FormatRow(ReaderIndexOf(named, file));
    if (row.Probe == nullptr || row.Load == nullptr)
        return std::nullopt;
    std::optional<TProbe> probe;
    try {
        probe = row.Probe(file);
    } catch (const Exception&) {
        return std::nullopt;  // the decode says what is wrong with the file
    }
    if (!probe)
        return std::nullopt;
    const TMetadataChoices& choices = settings.Metadata;
    return TLoadPlan{choices.AutoOrient || choices.Strip ? probe->orientation : 0,
                     choices.Srgb && probe->colour == TProbeColour::Cmyk && probe->cmykProfile};
}

// Orientations 0 (none) and 1 both leave the picture as stored.
bool SameTurn(int a, int b)
{
    return std::max(a, 1) == std::max(b, 1);
}

// Decodes the picture once, as the plan says: sampled rows only for a
// picture that no turn beyond a mirror changes, reduced as far as the
// picture as shown allows, or whole through its CMYK profile; so the
// decode is the one the step-by-step load ends with. False when the
// decoded metadata show another way than the probe did.
bool LoadAsPlanned(TBitmapEx& source, std::span<const uint8_t> file, TFormatChoice& formats, size_t& pictures,
                   const TConversionSettings& settings, const TLoadPlan& plan, std::optional<TTargetSize>& loadedSize,
                   int& orientation)
{
    if (plan.cmykThrough) {
        source.Load(file, formats, pictures, {{}, {}, true});
        orientation = OrientationToTurn(source, settings.Metadata);
        return source.Metadata.source.colourModel == TSourceReport::TColourModel::Cmyk &&
               SameTurn(orientation, plan.orientation);
    }
    const bool quarter = TurnsAQuarter(plan.orientation);
    std::optional<TTargetSize> stored;
    if (settings.Scaling.Smooth)
        source.Load(file, formats, pictures, {{}, ReductionFor(settings, (settings.Rotation % 2 == 1) != quarter, stored), false});
    else
        source.Load(file, formats, pictures,
                    {plan.orientation > 2 ? TRowRequest{} : RowsToSample(settings, loadedSize), {}, false});
    orientation = OrientationToTurn(source, settings.Metadata);
    if (!SameTurn(orientation, plan.orientation) || (settings.Metadata.Srgb && CarriesCmykProfile(source.Metadata)))
        return false;
    if (stored && (stored->width != source.Width() || stored->height != source.Height()))
        loadedSize = Turned(*stored, quarter);
    return true;
}

// Reads the file once and decodes its picture, once where its probe
// answers; returns the orientation to turn away.
int LoadOnce(TBitmapEx& source, const std::string& fileName, TFormatChoice& formats, size_t& pictures,
             const TConversionSettings& settings, std::optional<TTargetSize>& loadedSize)
{
    const TLargeBytes file = ReadWholeFile(fileName);
    int orientation = 0;
    const std::optional<TLoadPlan> plan = PlanByProbe(file, formats.named, settings);
    if (plan && LoadAsPlanned(source, file, formats, pictures, settings, *plan, loadedSize, orientation))
        return orientation;
    loadedSize.reset();
    LoadStepByStep(source, file, formats, pictures, settings, loadedSize, orientation);
    return orientation;
}

// Loads the picture as it is shown. `loadedSize` receives the size the
// result is worked out from when the reader delivered less than the whole
// picture: the result's size for sampled rows, the unreduced picture's for
// a reduced one.
void LoadAsShown(TBitmapEx& source, const std::string& fileName, TFormatChoice& formats, size_t& pictures,
                 const TConversionSettings& settings, std::optional<TTargetSize>& loadedSize)
{
    const int orientation = LoadOnce(source, fileName, formats, pictures, settings, loadedSize);
    TurnUpright(source, orientation);
    if (orientation > 1)
        SetExifOrientationUpright(source.Metadata.exif);
    // The colour profile stays: it says what the pixels mean. An icon's
    // sizes and a cursor's hot spot are what the file is, not notes on it.
    if (settings.Metadata.Strip) {
        TPictureMetadata kept;
        kept.iccProfile = std::move(source.Metadata.iccProfile);
        kept.iconSizes = std::move(source.Metadata.iconSizes);
        kept.cursorHotspot = source.Metadata.cursorHotspot;
        kept.source = source.Metadata.source;
        source.Metadata = std::move(kept);
    }
}

// The result's size: the one the sampled rows were read for, or the one of
// the picture as shown and turned, unreduced.
TTargetSize TargetSizeOf(const TBitmapEx& source, const TConversionSettings& settings,
                         const std::optional<TTargetSize>& loadedSize)
{
    if (loadedSize && !settings.Scaling.Smooth)
        return *loadedSize;
    const TTargetSize shown =
        loadedSize ? Turned(*loadedSize, settings.Rotation % 2 == 1) : TTargetSize{source.Width(), source.Height()};
    return ResultSize(settings, shown.width, shown.height);
}

// The result's format as chosen for the file; a conversion without one fails.
FormatIndex ChosenTarget(const TFormatChoice& formats, int32_t targetFormat)
{
    if (targetFormat < 0 || targetFormat > kFormatCount)
        throw ERangeError(msg::RangeError);
    // A file named by a script may carry any name; its format is kept only
    // when its name says which.
    if (formats.target == fiUnknown)
        throw ERangeError(
            "Der Dateiname nennt kein Bildformat, das behalten werden könnte; "
            "ein Zielformat wählt eines");
    return formats.target;
}

// With "skip", a target that exists already is left alone before the
// source is even read; its name when it is to be skipped. The source's own
// name is no such target: replacing it is the conversion in place.
std::optional<std::string> ExistingTargetToSkip(const std::string& source, const TConversionSettings& settings,
                                                const TFormatChoice& formats)
{
    if (settings.Output.Existing != etSkip || formats.target == fiUnknown)
        return std::nullopt;
    std::string result = TargetName(KeptName(source, settings), formats.target);
    if (!NameTaken(result) || FileIdentity(result) == FileIdentity(source))
        return std::nullopt;
    return result;
}

// The name the result of source is written under: refused when it would
// replace the source without being asked to (a copy, or a result for an
// output folder), numbered with "number", otherwise as given, if the run may
// write it.
std::string PlaceResult(const std::string& source, const std::string& result, const TConversionSettings& settings,
                        TRunTargets& targets)
{
    const bool ownSource = FileIdentity(result) == FileIdentity(source);
    if (ownSource && !ConvertsInPlace(settings))
        throw EFCreateError(FormatText("Datei \"%s\" kann nicht erstellt werden. %s",
                                       {result, "Das Ergebnis würde seine eigene Quelle ersetzen."}));
    if (!ownSource && settings.Output.Existing == etNumber)
        return targets.ClaimFreeName(result);
    targets.CheckTarget(result, source, CopiesBesideSources(settings));
    return result;
}

// Saves the result. With the trash chosen, an original that an in-place
// result replaces goes to the trash between the writing of the new file and
// its taking the name, so that a failed save leaves the original in place
// and a failed trashing leaves it unreplaced.
// A lossless source replaced in place is written at its row's lossless
// quality (`losslessRow`, null otherwise).
int32_t SaveResult(const TBitmapEx& target, const std::string& fileName, FormatIndex format,
                   const TConversionSettings& settings, const TFormatRow* losslessRow, bool& trashed)
{
    const int64_t maxBytes = int64_t(settings.Output.MaxKilobytes) * 1024;
    const auto save = [&] {
        return losslessRow ? SaveLossless(target, fileName, format, *losslessRow, maxBytes)
                           : target.SaveWithinSize(fileName, format, settings.Quality, maxBytes);
    };
    if (!settings.Output.Trash || !ConvertsInPlace(settings))
        return save();
    const TReplaceScope scope([&trashed](const std::string& original) {
        if (trashed)
            return;  // a second write replaces the result itself, no original
        MoveToTrash(original);
        trashed = true;
    });
    return save();
}

}  // namespace

std::string ReasonToKeepOriginal(const TSourceReport& source, size_t pictures, const TFormatRow& row, size_t kept,
                                 bool lostOpacity, int32_t colorDepth)
{
    if (pictures > kept)
        return FormatText(
            "Die Datei enthält %d Bilder; sie würde durch das erste ersetzt und bleibt unverändert. "
            "Eine Kopie speichert das erste Bild",
            {std::to_string(pictures)});
    if (source.damaged)
        return "Datei ist beschädigt (fehlende oder fehlerhafte Daten wurden ergänzt); das Original "
               "bleibt erhalten. Eine Kopie speichert das ergänzte Bild";
    if (source.layers > 1)
        return FormatText("Das Dokument hat %d Ebenen; es würde durch das zusammengefügte Bild ersetzt "
                          "und bleibt unverändert. Eine Kopie speichert das zusammengefügte Bild",
                          {std::to_string(source.layers)});
    if (source.auxiliaryPictures > 0)
        return "Die Datei enthält zum Bild Nebenbilder (Tiefenkarte, Vorschaubild); sie würde ohne sie "
               "ersetzt und bleibt unverändert. Eine Kopie speichert das Bild ohne sie";
    if (source.photoCd)
        return "Photo-CD-Dateien werden nicht geschrieben; die Datei würde durch Bitmap-Daten ersetzt "
               "und bleibt unverändert. Eine Kopie oder ein anderes Zielformat speichert das Bild";
    if (lostOpacity && colorDepth == 0)
        return "Die Datei hat durchsichtige Pixel; sie würden deckend und die Datei bleibt "
               "unverändert. Eine Kopie oder eine gewählte Farbtiefe speichert das Bild ohne "
               "Durchsichtigkeit";
    if (source.vector)
        return "Die Zeichnung würde durch ein Pixelbild ersetzt und bleibt unverändert. Eine Kopie "
               "oder ein anderes Zielformat speichert sie als Pixelbild";
    if (colorDepth == 0 && source.bitsPerSample > 8)
        return FormatText("Die Datei hat %d Bit je Farbwert; sie würde auf 8 Bit verringert und bleibt "
                          "unverändert. Eine Kopie oder eine gewählte Farbtiefe speichert sie mit 8 Bit",
                          {std::to_string(source.bitsPerSample)});
    if (colorDepth == 0 && source.colourModel != TSourceReport::TColourModel::Other) {
        const std::string model =
            source.colourModel == TSourceReport::TColourModel::Cmyk ? "CMYK" : "Lab";
        return FormatText("Die Datei ist im Farbmodell %s gespeichert; sie würde in RGB umgewandelt und "
                          "bleibt unverändert. Eine Kopie oder eine gewählte Farbtiefe speichert sie in RGB",
                          {model});
    }
    if (source.lossless && row.UsesQuality && row.LosslessQuality == 0)
        return kLossyRewrite;
    return "";
}

int32_t TruncToInt32(long double value)
{
    // The range test also refuses NaN.
    if (!(value > -2147483649.0L && value < 2147483648.0L))
        throw ERangeError(msg::RangeError);
    return int32_t(value);
}

TTargetSize FitTargetSize(int32_t fitMode, int32_t sourceWidth, int32_t sourceHeight,
                          int32_t width, int32_t height)
{
    const long double sw = sourceWidth;
    const long double sh = sourceHeight;
    long double ratio = 0;
    switch (fitMode) {
    case 0: return {sourceWidth, sourceHeight};
    case 1: ratio = sw / width; break;
    case 2: ratio = sh / height; break;
    case 3: ratio = MinValue(sh, sw) / (long double)MinValue(height, width); break;
    case 4: ratio = MaxValue(sh, sw) / (long double)MaxValue(height, width); break;
    default: throw ERangeError(msg::RangeError);  // no fit mode selected
    }
    if (ratio == 0)
        ratio = 1;  // an empty source picture
    switch (fitMode) {
    case 1: return {width, TruncToInt32(sh / ratio)};
    case 2: return {TruncToInt32(sw / ratio), height};
    default: return {TruncToInt32(sw / ratio), TruncToInt32(sh / ratio)};
    }
}

std::string MakeCopyName(const std::string& fileName)
{
    return MakeCopyName(fileName, kCopyPrefix, "");
}

std::string TargetName(const std::string& fileName, FormatIndex formatIndex)
{
    // IMG.JPG stays IMG.JPG and photo.jpeg stays photo.jpeg: a second name
    // beside the source would be found and converted again by the next run.
    if (FormatIndexOfName(fileName) == formatIndex)
        return fileName;
    return ReplaceExtension(fileName, formatIndex);
}

std::string ReplaceExtension(const std::string& fileName, FormatIndex formatIndex)
{
    const size_t dot = fileName.find_last_of("./");
    const std::string stem =
        (dot != std::string::npos && fileName[dot] == '.') ? fileName.substr(0, dot) : fileName;
    return stem + "." + FormatExtension(formatIndex);
}

int64_t GetFileSizeOf(const std::string& fileName)
{
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return 0;
        throw EInOutError(FormatText("E/A-Fehler %d: %s",
                                     {std::to_string(errno), SystemErrorText(errno)}));
    }
    if (S_ISDIR(info.st_mode))
        return 0;  // a folder is no file of that name
    return int64_t(info.st_size);
}

TConversionOutcome ConvertFile(std::string& fileName, const TConversionSettings& settings,
                               const TOverlaySnapshot& overlay, TRunTargets& targets, std::unique_ptr<TBitmap>* preview)
{
    if (!FileExists(fileName) || settings.Width <= 0 || settings.Height <= 0)
        return {};
    TFormatChoice formats = ChooseFormats(fileName, settings);
    if (std::optional<std::string> existing = ExistingTargetToSkip(fileName, settings, formats)) {
        fileName = std::move(*existing);
        return {true, 0, "", 0, 0, "", false};
    }

    TBitmapEx source;
    TBitmapEx target;
    size_t pictures = 1;
    std::optional<TTargetSize> loadedSize;
    LoadAsShown(source, fileName, formats, pictures, settings, loadedSize);
    if (source.Width() <= 0 || source.Height() <= 0)
        throw EInvalidGraphic("Die Datei enthält kein Bild (0 Pixel)");
    const bool sourceOpacity = source.Raster()->hasAlpha;
    RotateClockwise(source, target, settings.Rotation);
    const TTargetSize size = TargetSizeOf(source, settings, loadedSize);
    if (size.width <= 0 || size.height <= 0)
        throw ERangeError(FormatText("Das Ergebnis hätte %d x %d Pixel; es wird nicht gespeichert",
                                     {std::to_string(size.width), std::to_string(size.height)}));
    ScaleInto(source, target, size, settings.Scaling.Smooth);
    // A photograph's date, camera, position, caption and colour profile go
    // with it; the writer makes what they say about the picture true.
    const TSourceReport report = source.Metadata.source;
    target.Metadata = std::move(source.Metadata);
    // After scaling, so that a thumbnail converts its own few pixels; before
    // the depth change, whose palette must hold the converted colours.
    if (settings.Metadata.Srgb)
        ConvertToSrgb(target.MutableRaster(), target.Metadata);
    ChangeColorDepth(target, settings.ColorDepth);
    DrawStamp(target, overlay);
    if (preview != nullptr) {
        *preview = std::make_unique<TBitmap>();
        (*preview)->AssignPicture(&target);
    }

    const std::string sourceName = fileName;
    fileName = KeptName(fileName, settings);
    const FormatIndex formatIndex = ChosenTarget(formats, settings.TargetFormat);
    fileName = TargetName(fileName, formatIndex);
    // Only the first picture of an animation or a multi-page file is
    // converted, and only what the picture holds: as a copy that is what was
    // asked for, in place the original would silently lose the rest.
    bool keepLossless = false;
    if (FileIdentity(fileName) == FileIdentity(sourceName)) {
        const TRaster& result = *target.Raster();
        const bool lostOpacity = sourceOpacity && !result.hasAlpha && result.transparentIndex < 0;
        const TFormatRow& row = FormatRow(formatIndex);
        const size_t kept = row.PicturesWritten ? row.PicturesWritten(target, target.Metadata) : 1;
        const std::string reason =
            ReasonToKeepOriginal(report, pictures, row, kept, lostOpacity, settings.ColorDepth);
        if (!reason.empty())
            throw EInvalidOperation(reason);
        keepLossless = report.lossless && row.UsesQuality;
    }
    fileName = PlaceResult(sourceName, fileName, settings, targets);
    CreateFoldersFor(fileName);
    const std::optional<TFileTimes> times =
        settings.Metadata.KeepDate ? std::optional(FileTimesOf(sourceName)) : std::nullopt;
    bool trashed = false;
    const int32_t quality = SaveResult(target, fileName, formatIndex, settings,
                                       keepLossless ? &FormatRow(formatIndex) : nullptr, trashed);
    targets.Written(fileName, sourceName);
    if (times)
        SetFileTimes(fileName, *times);
    return {false,          quality,         SourceNote(report, pictures),
            target.Width(), target.Height(), report.damaged ? "source-damaged" : "",
            trashed};
}

void ConvertPicture(TSession& session, std::string& fileName, int32_t targetFormat,
                    int32_t fitMode, int32_t rotation, int32_t width, int32_t height,
                    int32_t colorDepth, int32_t quality, bool saveAsCopy)
{
    TConversionSettings settings = session.FrontEnd().CurrentSettings();
    settings.TargetFormat = targetFormat;
    settings.FitMode = fitMode;
    settings.Rotation = rotation;
    settings.Width = width;
    settings.Height = height;
    settings.ColorDepth = colorDepth;
    settings.Quality = quality;
    settings.SaveAsCopy = saveAsCopy;
    const TOverlaySnapshot overlay = SnapshotOverlay(session.Overlay, settings.TextEnabled);
    std::unique_ptr<TBitmap> preview;
    // The preview shows what was made, whether or not saving succeeds.
    try {
        ConvertFile(fileName, settings, overlay, session.Targets,
                    session.Preview ? &preview : nullptr);
    } catch (...) {
        if (preview)
            session.FrontEnd().ShowPreviewPicture(*preview);
        throw;
    }
    if (preview)
        session.FrontEnd().ShowPreviewPicture(*preview);
}

}  // namespace corvalin
