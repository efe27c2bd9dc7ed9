// The yardstick of rvx-strings: a bare QtCore program that, like rvx-strings, takes its
// arguments as QStrings and prints a line, without a QCoreApplication.
#include <QString>
#include <QStringList>
#include <cstdio>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }
    const QByteArray line = arguments.join(QLatin1Char(' ')).toUtf8() + '\n';
    std::fwrite(line.data(), 1, static_cast<std::size_t>(line.size()), stdout);
    return 0;
}
