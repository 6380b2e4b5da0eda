#pragma once

#include <QString>
#include <QUrl>

namespace wendlow::credits {

// The makers' names and pages, shown in the book information window and the main window.
inline const QString kTeam = QStringLiteral("Wendlow制作组");
inline const QString kAuthor = QStringLiteral("小鹿");
inline const QString kContributor = QStringLiteral("青苹果");
inline const QString kSecondContributor = QStringLiteral("阿木");
inline const QString kThanks = QStringLiteral("感谢所有帮助过我们的老师、同学和朋友！");
inline const QString kMakersPageText = QStringLiteral("wendlow.example.org");
inline const QUrl kMakersPage = QUrl(QStringLiteral("https://wendlow.example.org/"));
inline const QUrl kContributorPage =
    QUrl(QStringLiteral("https://wendlow.example.org/qingpingguo"));
inline const QUrl kSecondContributorPage = QUrl(QStringLiteral("https://wendlow.example.org/amu"));

} // namespace wendlow::credits
