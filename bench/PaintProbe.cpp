// Preloaded (LD_PRELOAD) into a program that knows nothing of it: the real
// tkaddstudent and the floor programs are measured by the same probe, so
// whatever the probe costs is the same on both sides of a ratio.
//
// Environment:
//   TKBENCH_PAINT_FD    descriptor to write "painted <CLOCK_MONOTONIC ns> <VmHWM kB>\n" to
//   TKBENCH_DUMP_FILE   (optional) where to write the window's widget tree, to
//                       check that the floor builds the same tree

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QTextStream>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <unistd.h>

namespace {

bool seenFirstPaint = false;
QWidget* paintedWindow = nullptr;

long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

QString captionOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QPushButton*>(widget))
        return button->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    return QString();
}

void dumpWidget(QTextStream& out, const QWidget* widget, int depth)
{
    const QRect g = widget->geometry();
    out << QString(depth * 2, QLatin1Char(' ')) << widget->metaObject()->className() << ' '
        << widget->objectName() << " geometry=" << g.x() << ',' << g.y() << ',' << g.width() << 'x'
        << g.height() << " visible=" << widget->isVisible() << " enabled=" << widget->isEnabled()
        << " font=" << widget->font().family() << '/' << widget->font().pointSizeF() << '/'
        << widget->font().weight() << " window=" << widget->palette().color(QPalette::Window).name()
        << " text=" << widget->palette().color(QPalette::WindowText).name()
        << " base=" << widget->palette().color(QPalette::Base).name() << " caption=\""
        << captionOf(widget) << "\" tip=\"" << widget->toolTip() << "\"\n";
    for (const QObject* child : widget->children())
        if (child->isWidgetType() && !static_cast<const QWidget*>(child)->isWindow())
            dumpWidget(out, static_cast<const QWidget*>(child), depth + 1);
}

void dumpTree(const char* path)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream out(&file);
    out << "title=\"" << paintedWindow->windowTitle() << "\" flags=" << Qt::hex
        << static_cast<unsigned>(paintedWindow->windowFlags()) << Qt::dec << " focus="
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString())
        << '\n';
    dumpWidget(out, paintedWindow, 0);
}

// The process's own peak of resident memory so far (VmHWM). What wait4
// reports for a child counts its parent's peak too: a child started with
// posix_spawn shares the parent's memory until its exec.
long long peakKilobytes()
{
    long long peak = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmHWM: %lld kB", &peak) == 1)
                break;
        std::fclose(status);
    }
    return peak;
}

// Runs from the event loop once the paint pass that the first paint event
// belongs to has finished, children and flush included.
void reportFirstPaint()
{
    const long long painted = monotonicNanoseconds();
    if (const char* fdText = std::getenv("TKBENCH_PAINT_FD")) {
        char line[96];
        const int length = std::snprintf(line, sizeof line, "painted %lld %lld\n", painted,
                                         peakKilobytes());
        if (::write(std::atoi(fdText), line, static_cast<size_t>(length)) != length)
            std::_Exit(120);
    }
    if (const char* dump = std::getenv("TKBENCH_DUMP_FILE"))
        dumpTree(dump);
    QCoreApplication::exit(0);
}

bool onEvent(void** data)
{
    if (seenFirstPaint)
        return false;
    auto* receiver = static_cast<QObject*>(data[0]);
    const auto* event = static_cast<const QEvent*>(data[1]);
    if (event->type() != QEvent::Paint || !receiver->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(receiver);
    if (!widget->isWindow())
        return false;
    seenFirstPaint = true;
    paintedWindow = widget;
    QMetaObject::invokeMethod(QCoreApplication::instance(), reportFirstPaint, Qt::QueuedConnection);
    return false;
}

__attribute__((constructor)) void installProbe()
{
    if (std::getenv("TKBENCH_PAINT_FD") || std::getenv("TKBENCH_DUMP_FILE"))
        QInternal::registerCallback(QInternal::EventNotifyCallback, onEvent);
}

} // namespace
