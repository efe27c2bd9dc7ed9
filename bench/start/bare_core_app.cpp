// A second yardstick of rvx-strings: the smallest QtCore program with a QCoreApplication.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QByteArray line = QCoreApplication::arguments().join(QLatin1Char(' ')).toUtf8() + '\n';
    std::fwrite(line.data(), 1, static_cast<std::size_t>(line.size()), stdout);
    return 0;
}
