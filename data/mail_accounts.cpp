#include "mail_accounts.h"

#include "record_store.h"

#include <QFileInfo>

namespace wendlow {

namespace {

const Text& alias() {
    static const Text a("em");
    return a;
}

const Text& password() {
    static const Text p = gbk("晴空又LanQiao580");
    return p;
}

const std::vector<FieldSpec>& accountFields() {
    static const std::vector<FieldSpec> fields = {
        {gbk("用户名"), FieldKind::Text, 20},
        {gbk("密码"), FieldKind::Text, 20},
    };
    return fields;
}

} // namespace

QString MailAccounts::filePath() const {
    return context_.path(QStringLiteral("DATEINI/em.edb"));
}

std::optional<MailAccount> MailAccounts::loadMailAccount() {
    const QString file = filePath();
    if (!QFileInfo::exists(file) && RecordStore::create(file, accountFields())) {
        RecordStore store(context_.fatal);
        if (store.open(file, alias(), Text())) {
            store.setPassword(password());
            store.close(alias());
        }
    }
    RecordStore store(context_.fatal);
    if (!store.open(file, alias(), password())) {
        return std::nullopt;
    }
    MailAccount result;
    Text* values[] = {&result.account, &result.password};
    for (int i = 0; i < 2; ++i) {
        const FieldValue v = store.read(i + 1);
        if (!isTextKind(v.kind)) {
            if (context_.fatal) {
                context_.fatal(5, gbk("数据或数组类型不匹配"));
            }
            break;
        }
        *values[i] = v.text;
    }
    store.close(alias());
    return result;
}

bool MailAccounts::storeMailAccount(const MailAccount& account) {
    RecordStore store(context_.fatal);
    if (!store.open(filePath(), alias(), password())) {
        return false;
    }
    bool ok = store.addBlankRecord();
    ok = ok && store.write(accountFields()[0].name, FieldValue::ofText(account.account));
    ok = ok && store.write(accountFields()[1].name, FieldValue::ofText(account.password));
    return store.close(alias()) && ok;
}

} // namespace wendlow
