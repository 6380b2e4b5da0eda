#include "book_registry.h"
#include "settings.h"
#include "settings_keys.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    wendlow::SystemClock clock;
    const wendlow::DataContext context{
        QCoreApplication::applicationDirPath(),
        [](int, const wendlow::Text& message) {
            std::fprintf(stderr, "%s\n", qPrintable(wendlow::toUnicode(message)));
            std::exit(-1);
        },
        &clock};
    const wendlow::RegistryCheck check = wendlow::BookRegistry(context).ensureRegistry();
    if (!check.usable()) {
        return 1;
    }
    namespace keys = wendlow::settings_keys;
    wendlow::writeSetting(keys::infIniPath(context), keys::section(), keys::version(),
                          keys::localVersion());
    return 0;
}
