#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>

#include "shell/desktop/ToolbarIcons.h"

namespace vx::test {
namespace {

// The icon theme's SVG and the window's icon come from the same shapes: every
// shape is one rectangle of the SVG, at 256 units to the side, in its colour.
TEST(ProgramIcon, TheSvgHoldsEveryShapeInItsPlaceAndColour) {
  const QString svg = ProgramIconSvg();
  const std::vector<IconShape> shapes = ProgramIconShapes();
  ASSERT_EQ(shapes.size(), 9u);
  EXPECT_TRUE(svg.contains(QStringLiteral("viewBox=\"0 0 256 256\"")));
  EXPECT_EQ(svg.count(QStringLiteral("<rect ")), static_cast<int>(shapes.size()));
  // The film frame comes first (the bands and holes are drawn over it).
  EXPECT_TRUE(svg.contains(QStringLiteral(
      "<rect x=\"12.8\" y=\"30.72\" width=\"230.4\" height=\"194.56\" rx=\"20.48\" fill=\"#282c34\"/>")))
      << svg.toStdString();
  EXPECT_LT(svg.indexOf(QStringLiteral("fill=\"#282c34\"")), svg.indexOf(QStringLiteral("fill=\"#dcdcdc\"")));
  for (const char* band : {"#dcdcdc", "#4682dc", "#dc5050"})
    EXPECT_EQ(svg.count(QStringLiteral("fill=\"%1\"").arg(QLatin1String(band))), 1) << band;
  EXPECT_TRUE(svg.trimmed().endsWith(QStringLiteral("</svg>")));
}

TEST(ProgramIcon, PicturesAtEverySizeShowTheBandsAndATransparentCorner) {
  for (int size : {48, 64, 256}) {
    const QImage image = ProgramIcon(size).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << size;
    EXPECT_EQ(image.pixelColor(size / 2, size * 31 / 100), QColor(220, 220, 220)) << size;
    EXPECT_EQ(image.pixelColor(size / 2, size * 49 / 100), QColor(70, 130, 220)) << size;
    EXPECT_EQ(image.pixelColor(size / 2, size * 67 / 100), QColor(220, 80, 80)) << size;
  }
}

}  // namespace
}  // namespace vx::test
