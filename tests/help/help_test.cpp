// One help system for all programs: the pages are found beside the programs, and every topic a
// window can open shows its page scrolled to the topic's own heading.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "mox/rtl/HelpPages.h"
#include "widgets/HelpWindow.h"

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "help_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the help window lives on to the end of the process.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// The block that carries the anchor as the viewer's document knows it.
QTextBlock AnchorBlock(const QTextDocument& document, const QString& anchor)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().anchorNames().contains(anchor)) return block;
    return {};
}

TEST(Help, PagesAreFoundBesideTheProgramsOrWhereTheEnvironmentSays)
{
    unsetenv("MOX_HELP_DIR");
    const std::filesystem::path folder = HelpFolder();
    EXPECT_EQ(folder, std::filesystem::weakly_canonical(MOX_BINARY_DIR "/share/mox/help"));
    for (const THelpPlace& place : kHelpPlaces)
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / place.Page)) << place.Page;

    setenv("MOX_HELP_DIR", MOX_SOURCE_DIR "/docs/help", 1);
    EXPECT_EQ(HelpFolder(), MOX_SOURCE_DIR "/docs/help");
    unsetenv("MOX_HELP_DIR");
}

TEST(Help, EveryTopicOpensItsPageAtItsHeading)
{
    App();
    for (std::size_t i = 0; i < kHelpTopicCount; ++i) {
        const THelpPlace& place = kHelpPlaces[i];
        SCOPED_TRACE(std::string(place.Page) + " # " + place.Keyword);
        QTextBrowser* viewer = ShowHelpTopic(nullptr, THelpTopic(i));
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_EQ(QFileInfo(viewer->source().toLocalFile()).fileName(), place.Page);

        const QTextBlock heading = AnchorBlock(*viewer->document(), QString::fromUtf8(place.Keyword));
        if (!heading.isValid()) {
            ADD_FAILURE() << "the viewer does not know the anchor";
            continue;
        }
        EXPECT_GT(heading.blockFormat().headingLevel(), 0) << heading.text().toStdString();

        // The heading stands at the top of the view, unless the page ends before it could.
        const QScrollBar* bar = viewer->verticalScrollBar();
        const int top = qRound(viewer->document()->documentLayout()->blockBoundingRect(heading).top());
        EXPECT_NEAR(bar->value(), std::min(top, bar->maximum()), 2);
    }
}

TEST(Help, MissingPagesAreReportedWithTheFolderLookedIn)
{
    App();
    const std::string empty = MOX_BINARY_DIR "/test-tmp/help-without-pages";
    std::filesystem::create_directories(empty);
    setenv("MOX_HELP_DIR", empty.c_str(), 1);
    QString told;
    QTimer::singleShot(0, [&told] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told = box->text();
            box->accept();
        }
    });
    EXPECT_EQ(ShowHelpTopic(nullptr, THelpTopic::IniSensoren), nullptr);
    unsetenv("MOX_HELP_DIR");
    EXPECT_TRUE(told.contains("mox_ini.html")) << told.toStdString();
    EXPECT_TRUE(told.contains(QString::fromStdString(empty))) << told.toStdString();
}

// F1 in a modal dialog: the viewer must belong to the dialog, or the dialog blocks its input.
TEST(Help, TheViewerAnswersInsideAModalDialog)
{
    App();
    QWidget main;
    ShowHelpTopic(&main, THelpTopic::ViewAllgemein);
    QDialog dialog(&main);
    dialog.setModal(true);
    dialog.show();
    QTextBrowser* viewer = ShowHelpTopic(&dialog, THelpTopic::ViewFarbeinstellungen);
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->parentWidget(), &dialog);
    EXPECT_EQ(QFileInfo(viewer->source().toLocalFile()).fileName(), "mox_view_settings.html");
    dialog.hide();
}

// Pages link to their sections by id; those must stay anchors beside the keywords.
TEST(Help, IdsOfThePagesAreAnchorsToo)
{
    App();
    for (std::size_t i = 0; i < kHelpTopicCount; ++i) {
        QTextBrowser* viewer = ShowHelpTopic(nullptr, THelpTopic(i));
        ASSERT_NE(viewer, nullptr);
        QFile page(viewer->source().toLocalFile());
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        for (const auto& id : QRegularExpression(R"re(\bid="([^"]+)")re").globalMatch(html))
            EXPECT_TRUE(AnchorBlock(*viewer->document(), id.captured(1)).isValid())
                << page.fileName().toStdString() << " # " << id.captured(1).toStdString();
    }
}

}  // namespace
