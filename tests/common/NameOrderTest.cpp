// The order of a folder's entries: case-blind, character by character.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/NameOrder.h"

using corvalin::NameComesBefore;

TEST(NameOrder, CaseBlindCharacterByCharacterAndStrict)
{
    std::vector<std::string> names = {"b.jpg", "IMG_10.jpg", "Zebra.jpg", "img_2.jpg", "Äpfel.jpg",
                                      "apfel.jpg", "Öl.jpg", "ähre.jpg", "A.jpg", "a.jpg",
                                      std::string("\xFF-kaputt.jpg"), "z.jpg"};
    std::sort(names.begin(), names.end(), NameComesBefore);
    const std::vector<std::string> expected = {
        "A.jpg", "a.jpg", "apfel.jpg", "b.jpg",
        "IMG_10.jpg", "img_2.jpg",  // "1" before "2": no numeric order
        "z.jpg", "Zebra.jpg",
        "ähre.jpg", "Äpfel.jpg", "Öl.jpg",  // "ä" and "Ä" fold alike; "h" before "p"
        std::string("\xFF-kaputt.jpg")};
    EXPECT_EQ(names, expected);
    // Strict: a name never comes before itself, and a prefix comes first.
    EXPECT_FALSE(NameComesBefore("Bild.jpg", "Bild.jpg"));
    EXPECT_TRUE(NameComesBefore("Bild", "bild.jpg"));
    EXPECT_FALSE(NameComesBefore("bild.jpg", "Bild"));
    EXPECT_TRUE(NameComesBefore("ÄPFEL", "äpfel"));  // only case differs: byte order
}
