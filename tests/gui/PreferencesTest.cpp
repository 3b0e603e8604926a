// The preferences dialog against a private store.
#include "widgets/HintSwitch.h"
#include "widgets/NumberField.h"
#include "widgets/PathField.h"
#include "dialogs/PreferencesDialog.h"
#include "gui/WindowFixture.h"

#include <QLabel>
#include <QTextEdit>
#include <QTest>

#include <sys/stat.h>

namespace {

class PreferencesTest : public qvtest::WindowFixture {
protected:
    std::unique_ptr<qv::TfrmPreferences> dialog(qv::TfrmMain& w)
    {
        qv::Choosers choosers{
            [this](QWidget*, const QFont&) { return nextFont; }, [this](QWidget*, const QColor&) { return nextColor; }, {}};
        return std::make_unique<qv::TfrmPreferences>(
            w.state().Preferences, w.registry(), messages, choosers, [&w] { w.applyMatchFont(); }, &w);
    }
    qv::PreferenceSet stored()
    {
        qv::PreferenceSet p;
        qv::platform::RegistryHive hive(registry.path() + "registry.db");
        qv::LoadPreferences(hive, p);
        return p;
    }
    std::optional<QFont> nextFont;
    std::optional<QColor> nextColor;
};

TEST_F(PreferencesTest, FirstOpeningShowsTheDefaults)
{
    auto w = open({});
    auto d = dialog(*w);
    EXPECT_EQ(d->windowTitle(), "Preferences");
    EXPECT_EQ(d->txtMaxMatchLen->number(), 300);
    EXPECT_EQ(d->txtMaxMatches->number(), 500);
    EXPECT_TRUE(d->chkShowHint->isChecked());
    EXPECT_EQ(d->txtEditor->edit()->text().toStdString(), qv::PreferenceSet::Defaults().Editor);
    EXPECT_EQ(d->txtStartupDir->edit()->text(), "");
    EXPECT_EQ(d->lblMatchFont->text(), "MS Sans Serif, 8 points");
    EXPECT_EQ(d->lblViewerFont->text(), "MS Sans Serif, 10 points");
    EXPECT_EQ(d->lblPrintFont->text(), "Arial, 10 points");
    EXPECT_EQ(d->lblPrintFont->font().pointSize(), 10);
    // The sample: first line in the text colour (black), second in the highlight colour (red).
    QTextCursor c(d->edtSample->document());
    c.setPosition(2);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(0, 0, 0));
    c.setPosition(22);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
}

TEST_F(PreferencesTest, StoredLimitsOutsideTheRangesAreClampedAndSavedSo)
{
    qv::platform::RegistryHive hive(registry.path() + "registry.db");
    auto key = hive.OpenKey(qv::platform::kQuorvaneKey, true);
    ASSERT_EQ(key->WriteInteger("MaxMatchLen", 10), std::nullopt);
    ASSERT_EQ(key->WriteInteger("MaxMatches", 9000), std::nullopt);
    key->Close();
    auto w = open({});
    auto d = dialog(*w);
    EXPECT_EQ(d->txtMaxMatchLen->number(), 50);
    EXPECT_EQ(d->txtMaxMatches->number(), 5000);
    d->cmdOKClick();
    EXPECT_EQ(stored().MaxMatchLen, 50);
    EXPECT_EQ(stored().MaxMatches, 5000);
}

TEST_F(PreferencesTest, EmptiedOrSignOnlyLimitFieldsReadAsTheirMinimum)
{
    auto w = open({});
    auto d = dialog(*w);
    d->txtMaxMatchLen->editor()->setText("");
    d->txtMaxMatches->editor()->setText("-");
    d->cmdOKClick();
    EXPECT_EQ(stored().MaxMatchLen, 50);
    EXPECT_EQ(stored().MaxMatches, 1);
    // Only digits and signs can be typed.
    auto d2 = dialog(*w);
    d2->txtMaxMatches->editor()->clear();
    QTest::keyClicks(d2->txtMaxMatches, "1a2b");
    EXPECT_EQ(d2->txtMaxMatches->editor()->text(), "12");
}

TEST_F(PreferencesTest, EditorWarningsNeverBlock)
{
    auto w = open({});
    auto d = dialog(*w);
    QLineEdit* editor = d->txtEditor->edit();
    editor->setText("");
    d->txtEditorExit();
    EXPECT_EQ(editor->text().toStdString(), qv::PreferenceSet::Defaults().Editor);
    EXPECT_TRUE(messages.boxes.empty());

    editor->setText(QString::fromStdString(dir.path() + "no such editor"));
    d->txtEditorExit();
    ASSERT_EQ(messages.boxes.size(), 1U);
    EXPECT_EQ(messages.boxes[0].caption, "Error");
    EXPECT_EQ(messages.boxes[0].text, "The specified editor was not found");

    const std::string plain = dir.write("notes.txt", "x");
    editor->setText(QString::fromStdString(plain));
    d->txtEditorExit();
    EXPECT_EQ(messages.boxes.back().text, "The specified file is not an executable program file");

    const std::string program = dir.write("my editor/ed", "#!/bin/sh\n");
    ::chmod(program.c_str(), 0755);
    editor->setText(QString::fromStdString(program + " --wait"));
    d->txtEditorExit();
    EXPECT_EQ(messages.boxes.back().text, "The specified file is not an executable program file");

    const QString quoted = QString::fromStdString("\"" + program + "\"");
    editor->setText(quoted);
    const auto before = messages.boxes.size();
    d->txtEditorExit();
    EXPECT_EQ(messages.boxes.size(), before); // exists and runs: no warning
    d->cmdOKClick();
    EXPECT_EQ(stored().Editor, quoted.toStdString()); // kept with its quotes
}

TEST_F(PreferencesTest, CancelledChoosersChangeNothingAndCancelWritesNothing)
{
    auto w = open({});
    auto d = dialog(*w);
    d->cmdMatchFontClick();
    d->cmdTextColorClick();
    EXPECT_EQ(w->state().Preferences.MatchFontName, "MS Sans Serif");
    EXPECT_EQ(w->state().Preferences.ViewerTextColor, 0);
    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPointSize(11);
    nextFont = chosen;
    nextColor = QColor(0x11, 0x22, 0x33);
    d->cmdViewerFontClick();
    d->cmdHighColorClick();
    EXPECT_EQ(w->state().Preferences.ViewerFontSize, 11);
    EXPECT_EQ(d->lblViewerFont->text(), "DejaVu Sans, 11 points");
    EXPECT_EQ(w->state().Preferences.ViewerHighColor, 0x00332211); // red in the low byte
    d->cmdCancelClick();
    EXPECT_EQ(stored().ViewerFontSize, 10); // nothing written ...
    EXPECT_EQ(w->state().Preferences.ViewerFontSize, 11); // ... though kept in memory
}

TEST_F(PreferencesTest, OkByItsAccessKeyTakesTheFieldStillBeingTyped)
{
    dir.mkdir("start");
    auto w = open({});
    auto d = dialog(*w);
    d->show();
    d->txtStartupDir->edit()->setFocus();
    QTest::keyClicks(d->txtStartupDir->edit(), QString::fromStdString(dir.path() + "start"));
    // The access key clicks OK without the field being left first (the offscreen platform does not
    // route key shortcuts to a dialog, so the key's click is made directly).
    EXPECT_EQ(d->cmdOK->shortcut(), QKeySequence(QStringLiteral("Alt+O")));
    ASSERT_EQ(w->state().Preferences.StartupDir, "");
    d->cmdOK->click();
    EXPECT_EQ(stored().StartupDir, dir.path() + "start");
    EXPECT_EQ(d->result(), QDialog::Accepted);
}

TEST_F(PreferencesTest, OkAppliesTheHintsAndTheMatchFont)
{
    auto w = open({});
    auto d = dialog(*w);
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPointSize(12);
    nextFont = chosen;
    d->cmdMatchFontClick();
    d->chkShowHint->setChecked(false);
    d->cmdOKClick();
    EXPECT_FALSE(qv::hintsShown());
    EXPECT_EQ(w->lstLines1->font().pointSize(), 12);
    EXPECT_FALSE(stored().ShowHint);
    qv::setHintsShown(true);
}

} // namespace
