#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QLabel>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <memory>
#include <ostream>
#include "window/WindowTextView.h"

#include "window/NorvaViewerUnit.h"
#include "window/WindowWidgets.h"

// Readable failure messages for the Qt types the tests compare.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& texts, std::ostream* out);
void PrintTo(const QColor& color, std::ostream* out);
void PrintTo(const QPoint& point, std::ostream* out);
void PrintTo(const QImage& image, std::ostream* out);

QString SamplePath(const QString& fileName);
QJsonObject ExpectedAnswer(const QString& stem);

// The pixels a widget shows on screen, painted afresh.
QImage ShownImage(QWidget& widget);
bool AllPixelsAre(const QImage& image, QColor color);

// A window whose modal parts are replaced: the open dialog returns NextChoice,
// errors are collected instead of shown.
class WindowFixture : public ::testing::Test {
  protected:
    void TearDown() override;

    TfmNorvaViewer& MakeWindow(const QString& startFile = {});
    void ShowWindow();
    void OpenThroughDialog(const QString& path);

    template <typename T>
    T& Control(const char* name) {
        T* control = Window->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) {
            throw std::runtime_error(std::string("no control ") + name);
        }
        return *control;
    }
    QString LabelText(const char* name) { return Control<QLabel>(name).text(); }
    QStringList LabelLines(const char* name) {
        return LabelText(name).split('\n', Qt::SkipEmptyParts);
    }
    QRadioButton& Selector(int index);
    int CheckedSelector();
    QColor ContentColor();

    std::unique_ptr<TfmNorvaViewer> Window;
    QStringList Errors;
    QStringList Reasons;        // beside each error
    QStringList DialogFolders;  // where each open dialog started
    QString NextChoice;
    int DialogRuns = 0;
};
