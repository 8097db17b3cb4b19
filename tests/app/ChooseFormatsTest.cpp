// A file's formats are decided once, by its name and the settings' target.
#include <gtest/gtest.h>

#include "app/OutputNames.h"

using namespace corvalin;

TEST(ChooseFormats, TheTargetIsTheChosenFormatOrTheNamesAndNoneOutsideTheTable)
{
    struct Case {
        const char* source;
        int32_t targetFormat;
        FormatIndex named;
        FormatIndex target;
    };
    const Case cases[] = {
        {"/p/a.JPEG", 0, fiJpg, fiJpg},       {"/p/a.jpg", fiPng, fiJpg, fiPng},
        {"/p/a.tiff", fiTif, fiTif, fiTif},   {"/p/a.txt", 0, fiUnknown, fiUnknown},
        {"/p/a.txt", fiWebp, fiUnknown, fiWebp}, {"/p/a.png", kFormatCount + 1, fiPng, fiUnknown},
        {"/p/a.png", -1, fiPng, fiUnknown},   {"/p.jpg/noext", 0, fiUnknown, fiUnknown},
    };
    for (const Case& c : cases) {
        TConversionSettings settings;
        settings.TargetFormat = c.targetFormat;
        const TFormatChoice formats = ChooseFormats(c.source, settings);
        EXPECT_EQ(formats.named, c.named) << c.source << " " << c.targetFormat;
        EXPECT_EQ(formats.target, c.target) << c.source << " " << c.targetFormat;
        EXPECT_EQ(formats.reader, fiUnknown) << c.source;
    }
}
