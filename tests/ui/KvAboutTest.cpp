// The about box: link captions, the entry table laid out by its rules at two
// window sizes, tabs and the labels they show, links opening what they
// name, Escape and Enter, and a missing picture.
#include "KvAbout.h"
#include "KvLocalizer.h"

#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(AboutLinkCaption, IsTheHostOfAWebAddressAndTheNameOfAFile)
{
    const std::pair<const char*, const char*> cases[] = {
        {"https://host.example/support/index.html", "host.example"},
        {"http://host.example:8080/", "host.example"},
        {"mailto:someone@host.example", "someone@host.example"},
        {"https:\\\\host.example\\x", "host.example"},
        {"no colon at all", ""},
        {"file:///usr/share/doc/orvane/LICENSE", "LICENSE"},
    };
    for (const auto& [address, caption] : cases)
        EXPECT_EQ(AboutLinkCaption(QLatin1String(address)), QLatin1String(caption)) << address;
}

class AboutForm : public ::testing::Test {
protected:
    AboutForm()
    {
        QImage picture(500, 300, QImage::Format_RGB32);
        picture.fill(qRgb(230, 240, 250));
        picture.save(PicturePath());
    }

    QString PicturePath() const { return folders.Root() + QStringLiteral("/logo.png"); }

    // The Part's own table, with addresses of this test.
    TKvAboutDescription Description() const
    {
        TKvAboutDescription description;
        description.Picture = PicturePath();
        description.Entries = {
            {156, QStringLiteral("Orvane"), AboutBold, 80, 96, 0, 0, 0, -1, {}},
            {0, QStringLiteral("1.2.3"), AboutBold | AboutSameLine, 0, 0, 0, 0, 0, -1, {}},
            {54, QString(), AboutRightAligned | AboutColon, 16, 132, 75, 0, 0, 0, {}},
            {0, QStringLiteral("https://host.example/path"), AboutLink | AboutSameLine, 0, 0, 0, 0, 0, 0, {}},
            {56, QString(), AboutRightAligned | AboutColon, 0, 0, 75, 0, 0.5f, 0, {}},
            {0, QStringLiteral("file:///nowhere/LICENSE"), AboutLink | AboutSameLine, 0, 0, 0, 0, 0, 0, {}},
            {0, QStringLiteral("Notice"), 0, 0, 275, 0, 0, 0, -1, {}},
            {53, QString(), AboutBold, 16, 132, 0, 0, 0, 1, {}},
            {0, QStringLiteral("A line"), 0, 0, 0, 0, 0, 0, 1, {}},
        };
        return description;
    }

    std::unique_ptr<TKvAboutForm> Form(const TKvAboutDescription& description)
    {
        std::unique_ptr<TKvAboutForm> form(NewInitialized<TKvAboutForm>(description));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    TKvApplication application;
};

// The label's rectangle with right and bottom exclusive.
struct Box {
    int left, top, right, bottom;
};
Box BoxOf(const QLabel* label)
{
    const QRect r = label->geometry();
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

TEST_F(AboutForm, EveryLabelIsPlacedByTheRulesAtTwoWindowSizes)
{
    const auto form = Form(Description());
    for (const QSize size : {QSize(507, 342), QSize(1007, 642)}) {
        form->resize(size);
        QCoreApplication::processEvents();
        const int width = form->LogoBackground->width();
        const auto scaled = [width](int v) { return int(std::lround(double(v) * width / 500)); };
        const std::vector<QLabel*>& labels = form->Labels();
        ASSERT_EQ(labels.size(), 9u);
        const QFontMetrics plain(labels[0]->font());
        const int leading = plain.leading();
        const int line = plain.lineSpacing();
        const auto average = [](const QLabel* label) { return QFontMetrics(label->font()).averageCharWidth(); };

        SCOPED_TRACE(width);
        // Row 1 where the table puts it, scaled; row 2 on its line.
        EXPECT_EQ(labels[0]->pos(), QPoint(scaled(80), scaled(96)));
        EXPECT_EQ(BoxOf(labels[1]).left, BoxOf(labels[0]).right + average(labels[1]));
        EXPECT_EQ(labels[1]->y(), labels[0]->y());
        // Row 3 at its place with its width; row 4 after it.
        EXPECT_EQ(labels[2]->geometry().topLeft(), QPoint(scaled(16), scaled(132)));
        EXPECT_EQ(labels[2]->width(), scaled(75));
        EXPECT_TRUE(labels[2]->alignment() & Qt::AlignRight);
        EXPECT_EQ(labels[2]->text(), QStringLiteral("Web site:"));
        EXPECT_EQ(BoxOf(labels[3]).left, BoxOf(labels[2]).right + average(labels[3]));
        // Row 5 below the pair half a line and two leadings further down.
        const int pairBottom = std::max(BoxOf(labels[2]).bottom, BoxOf(labels[3]).bottom);
        EXPECT_EQ(labels[4]->y(), pairBottom + int(std::nearbyint(line * 0.5)) + 2 * leading);
        EXPECT_EQ(labels[4]->x(), labels[2]->x());
        // Row 7 at its given top, under the left edge of what came before.
        EXPECT_EQ(labels[6]->y(), scaled(275));
        EXPECT_EQ(labels[6]->x(), std::min(labels[4]->x(), labels[5]->x()));
        // Each line below the one before.
        EXPECT_GE(labels[4]->y(), BoxOf(labels[3]).bottom);
        EXPECT_GE(labels[8]->y(), BoxOf(labels[7]).bottom);
    }
}

TEST_F(AboutForm, TabsShowTheirOwnLabelsAndThoseOfEveryTab)
{
    const auto form = Form(Description());
    ASSERT_EQ(form->AboutTabs->count(), 2);
    EXPECT_EQ(form->AboutTabs->tabText(0), QStringLiteral("About"));
    EXPECT_EQ(form->AboutTabs->tabText(1), QStringLiteral("Credits"));
    const auto visible = [&] {
        std::vector<bool> shown;
        for (const QLabel* label : form->Labels())
            shown.push_back(label->isVisible());
        return shown;
    };
    EXPECT_EQ(visible(), (std::vector<bool>{true, true, true, true, true, true, true, false, false}));
    form->AboutTabs->setCurrentIndex(1);
    EXPECT_EQ(visible(), (std::vector<bool>{true, true, false, false, false, false, true, true, true}));

    SetLanguage(1031);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Über"));
    EXPECT_EQ(form->AboutTabs->tabText(1), QStringLiteral("Danksagungen"));
    SetLanguage(1033);
}

TEST_F(AboutForm, LinksShowTheirCaptionAndOpenTheirAddress)
{
    const auto form = Form(Description());
    std::vector<QUrl> opened;
    form->OpenLink = [&](const QUrl& url) {
        opened.push_back(url);
        return true;
    };
    QLabel* web = form->Labels()[3];
    QLabel* file = form->Labels()[5];
    EXPECT_EQ(web->text(), QStringLiteral("host.example"));
    EXPECT_EQ(web->toolTip(), QStringLiteral("https://host.example/path"));
    EXPECT_TRUE(web->font().underline());
    EXPECT_EQ(web->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(web->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(file->text(), QStringLiteral("LICENSE"));
    QTest::mouseClick(web, Qt::LeftButton);
    QTest::mouseClick(file, Qt::LeftButton);
    QTest::mouseClick(form->Labels()[0], Qt::LeftButton); // not a link
    EXPECT_EQ(opened, (std::vector<QUrl>{QUrl(QStringLiteral("https://host.example/path")),
                                         QUrl(QStringLiteral("file:///nowhere/LICENSE"))}));
}

TEST_F(AboutForm, EscapeAndEnterClose)
{
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        const auto form = Form(Description());
        QTest::keyClick(form.get(), key);
        EXPECT_FALSE(form->isVisible()) << key;
    }
}

TEST_F(AboutForm, WithoutItsPictureTheBoxStillShowsItsLabelsUnscaled)
{
    TKvAboutDescription description = Description();
    description.Picture = folders.Root() + QStringLiteral("/missing.jpg");
    const auto form = Form(description);
    EXPECT_TRUE(form->LogoBackground->Picture().isNull());
    ASSERT_EQ(form->Labels().size(), 9u);
    EXPECT_EQ(form->Labels()[0]->pos(), QPoint(80, 96));
}

} // namespace
