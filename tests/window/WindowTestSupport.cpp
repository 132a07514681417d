#include "tests/window/WindowTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QPushButton>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '[';
    for (const QString& text : texts) {
        PrintTo(text, out);
        *out << ' ';
    }
    *out << ']';
}

void PrintTo(const QColor& color, std::ostream* out) {
    *out << color.name(QColor::HexArgb).toStdString();
}

void PrintTo(const QPoint& point, std::ostream* out) {
    *out << '(' << point.x() << ", " << point.y() << ')';
}

void PrintTo(const QImage& image, std::ostream* out) {
    *out << "image " << image.width() << 'x' << image.height();
}

QString SamplePath(const QString& fileName) {
    return QStringLiteral(NORVA_SAMPLES "/") + fileName;
}

QJsonObject ExpectedAnswer(const QString& stem) {
    QFile file(SamplePath(QStringLiteral("expected/%1.json").arg(stem)));
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("missing expected answer " + stem.toStdString());
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QImage ShownImage(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool AllPixelsAre(const QImage& image, QColor color) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() != color.rgb()) {
                return false;
            }
        }
    }
    return true;
}

void WindowFixture::TearDown() {
    Window.reset();
    QCoreApplication::processEvents();
}

TfmNorvaViewer& WindowFixture::MakeWindow(const QString& startFile) {
    Window = std::make_unique<TfmNorvaViewer>(QFile::encodeName(startFile).toStdString());
    Window->ShowError = [this](const QString& message, const QString& reason) {
        Errors.append(message);
        Reasons.append(reason);
    };
    Window->ChooseLogFile = [this](const QString& startFolder) {
        ++DialogRuns;
        DialogFolders.append(startFolder);
        return NextChoice;
    };
    return *Window;
}

void WindowFixture::ShowWindow() {
    Window->show();
    QCoreApplication::processEvents();
}

void WindowFixture::OpenThroughDialog(const QString& path) {
    NextChoice = path;
    Control<QPushButton>("btOpen").click();
    QCoreApplication::processEvents();
}

QRadioButton& WindowFixture::Selector(int index) {
    return Control<QRadioButton>(QStringLiteral("rb%1").arg(index).toLatin1().constData());
}

int WindowFixture::CheckedSelector() {
    for (int index = 0; index < 8; ++index) {
        if (Selector(index).isChecked()) {
            return index;
        }
    }
    return -1;
}

QColor WindowFixture::ContentColor() {
    return Control<TLazyTextView>("mmFileContent").palette().color(QPalette::Base);
}
