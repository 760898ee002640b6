// The real program on the demo firmware: started without a display, it paints the
// listing and saves its window.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include "RunTravik.h"
#include "support/TestSupport.h"

#ifdef TRAVIK_GUI
namespace {

bool Near(QColor c, int r, int g, int b) {
    return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 &&
           std::abs(c.blue() - b) < 40;
}

TEST(EndToEndTest, ScreenshotOfTheDemoListingShowsCursorAndText) {
    TempDir home;
    const QString shot = QString::fromStdString(home.File("shot.png"));
    ASSERT_EQ(RunTravik(home, {TRAVIK_DEMO_FLS, "--screenshot", shot}), 0);
    QImage image(shot);
    ASSERT_FALSE(image.isNull());
    image = image.convertToFormat(QImage::Format_RGB32);

    // The cursor row: a long run of the cursor colour (cyan, or green on a jump).
    int cursorY = -1;
    for (int y = 0; y < image.height() && cursorY < 0; ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            run = (Near(c, 0, 255, 255) || Near(c, 0, 255, 0)) ? run + 1 : 0;
            if (run >= 200) cursorY = y;
        }
    }
    ASSERT_GE(cursorY, 0);

    // Listing text below it: black pixels right of the arrow margin.
    int textPixels = 0;
    for (int y = cursorY + 20; y < cursorY + 60; ++y)
        for (int x = 110; x < 400; ++x) textPixels += image.pixelColor(x, y) == QColor(Qt::black);
    EXPECT_GT(textPixels, 100);

    // A flash file that cannot be opened ends the program with its message.
    QString err;
    EXPECT_NE(RunTravik(home, {QString::fromStdString(home.File("none.fls")), "--screenshot", shot},
                        &err),
              0);
    EXPECT_FALSE(err.isEmpty());
}

}  // namespace
#endif
