#include "ui/dialogs/dialogs.h"

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

TEST(NameFilters, TurnsDescriptionPatternPairsIntoQtFilters) {
    EXPECT_EQ(NameFilters("Krypterat|*.crp"), QStringList({"Krypterat (*.crp)"}));
    EXPECT_EQ(NameFilters("Krypterat|*.crp|Alla|*.*"),
              QStringList({"Krypterat (*.crp)", "Alla (*.*)"}));
    EXPECT_EQ(NameFilters("Text|*.txt;*.asc"), QStringList({"Text (*.txt *.asc)"}));
    // A bare pattern list has no description.
    EXPECT_EQ(NameFilters("*.txt;"), QStringList({"*.txt"}));
    EXPECT_EQ(NameFilters(""), QStringList());
}

} // namespace
} // namespace tolvana::ui
