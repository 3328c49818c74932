// The JPEG options dialog: the meaning of the quality text, the preset
// shown for a quality, the coupling of edit, list and slider, and what OK
// does with text that is not a quality.
#include "KvJPEGOptions.h"

#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Controls {
    QString edit;
    int combo;
    int slider;
};

Controls Read(const TKvJPEGOptionsForm& form)
{
    return {form.QualityEdit->text(), form.QualityComboBox->currentIndex(), form.QualityTrackBar->value()};
}

void ExpectControls(const TKvJPEGOptionsForm& form, const Controls& expected)
{
    const Controls actual = Read(form);
    EXPECT_EQ(actual.edit, expected.edit);
    EXPECT_EQ(actual.combo, expected.combo);
    EXPECT_EQ(actual.slider, expected.slider);
}

// Replaces the edit's text in one change, as pasting does (typing "150"
// key by key passes through the valid "15").
void TypeQuality(TKvJPEGOptionsForm& form, const QString& text)
{
    form.QualityEdit->selectAll();
    form.QualityEdit->insert(text);
}

// Closes the next message box as soon as it shows, noting its text and icon.
struct MessageBoxCloser {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int shown = 0;

    void Arm()
    {
        QTimer::singleShot(0, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                icon = box->icon();
                ++shown;
                box->accept();
            }
        });
    }
};

// The dialog as the program makes it: an application object for its
// message box, captions from the shipped English texts.
class JPEGOptionsForm : public ::testing::Test {
protected:
    std::unique_ptr<TKvJPEGOptionsForm> NewForm()
    {
        return std::unique_ptr<TKvJPEGOptionsForm>(NewInitialized<TKvJPEGOptionsForm>());
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    TKvApplication application;
};

} // namespace

TEST(JPEGOptions, QualityTextMeaning)
{
    struct Case {
        const char* text;
        bool valid;
        long long value;
    };
    const Case cases[] = {
        {"50", true, 50},   {" 50 ", true, 50},   {"0", true, 0},        {"100", true, 100},  {"+7", true, 7},
        {"-0", true, 0},    {"$64", true, 100},   {"0x10", true, 16},    {"", false, 0},      {"   ", false, 0},
        {"150", false, 150}, {"-5", false, -5},   {"abc", false, 0},     {"12abc", false, 12}, {"-12abc", false, 12},
        {"1 2", false, 1},  {"$", false, 0},      {"0x65", false, 101},  {"-", false, 0},
    };
    for (const Case& c : cases) {
        const TKvQualityText parsed = ParseQualityText(QString::fromLatin1(c.text));
        EXPECT_EQ(parsed.Valid, c.valid) << '"' << c.text << '"';
        EXPECT_EQ(parsed.Value, c.value) << '"' << c.text << '"';
    }
    const TKvQualityText huge = ParseQualityText(QStringLiteral("99999999999999999999999"));
    EXPECT_FALSE(huge.Valid);
    EXPECT_GT(huge.Value, 100);
}

TEST(JPEGOptions, PresetShownForAQuality)
{
    const std::pair<int, int> cases[] = {{100, 4}, {99, 3}, {80, 3}, {79, 2}, {60, 2}, {59, 1},
                                         {30, 1},  {29, 0}, {10, 0}, {5, 0},  {0, 0}};
    for (const auto& [quality, index] : cases)
        EXPECT_EQ(QualityPresetIndex(quality), index) << quality;
}

TEST_F(JPEGOptionsForm, ControlsFollowEachOther)
{
    const auto owned = NewForm();
    TKvJPEGOptionsForm& form = *owned;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("JPEG Options"));
    EXPECT_EQ(form.QualityComboBox->itemText(4), QStringLiteral("Maximum"));
    ExpectControls(form, {"0", 0, 0});
    form.SetQuality(80);
    ExpectControls(form, {"80", 3, 80});

    struct Typed {
        const char* text;
        int combo;
        int slider;
    };
    const Typed typed[] = {{"79", 2, 79}, {"100", 4, 100}, {"5", 0, 5}, {"150", 3, 80}, {"abc", 3, 80}};
    for (const Typed& t : typed) {
        SCOPED_TRACE(t.text);
        form.SetQuality(80);
        TypeQuality(form, QString::fromLatin1(t.text));
        ExpectControls(form, {QString::fromLatin1(t.text), t.combo, t.slider});
    }

    form.QualityComboBox->setCurrentIndex(1);
    ExpectControls(form, {"30", 1, 30});
    form.QualityTrackBar->setValue(61);
    ExpectControls(form, {"61", 2, 61});
    form.SetQuality(250);
    ExpectControls(form, {"100", 4, 100});
}

TEST_F(JPEGOptionsForm, OkRefusesWhatIsNotAQuality)
{
    struct Case {
        const char* text;
        int corrected;
    };
    const Case cases[] = {{"150", 100}, {"-5", 0}, {"abc", 0}, {"", 0}, {"12abc", 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto owned = NewForm();
        TKvJPEGOptionsForm& form = *owned;
        form.SetQuality(80);
        form.show();
        TypeQuality(form, QString::fromLatin1(c.text));
        MessageBoxCloser closer;
        closer.Arm();
        form.OkButton->click();
        EXPECT_EQ(closer.shown, 1);
        EXPECT_EQ(closer.icon, QMessageBox::Critical);
        EXPECT_EQ(closer.text, LocalStr(216));
        EXPECT_FALSE(closer.text.isEmpty());
        EXPECT_TRUE(form.isVisible()) << "the dialog stays open";
        EXPECT_EQ(form.result(), 0);
        ExpectControls(form, {QString::number(c.corrected), QualityPresetIndex(c.corrected), c.corrected});
    }
}

TEST_F(JPEGOptionsForm, AskGivesTheChosenQualityOrNone)
{
    // OK with blanks around a valid number.
    QTimer::singleShot(0, [] {
        auto* form = qobject_cast<TKvJPEGOptionsForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->GetQuality(), 80) << "preset with the stored quality";
        TypeQuality(*form, QStringLiteral(" 50 "));
        form->OkButton->click();
    });
    EXPECT_EQ(AskJPEGQuality(80), std::optional<int>(50));

    // Cancel after changing the value, and Esc.
    QTimer::singleShot(0, [] {
        auto* form = qobject_cast<TKvJPEGOptionsForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->SetQuality(20);
        form->CancelButton->click();
    });
    EXPECT_EQ(AskJPEGQuality(80), std::nullopt);
    QTimer::singleShot(0, [] {
        QWidget* form = QApplication::activeModalWidget();
        ASSERT_NE(form, nullptr);
        QTest::keyClick(form, Qt::Key_Escape);
    });
    EXPECT_EQ(AskJPEGQuality(80), std::nullopt);
}
