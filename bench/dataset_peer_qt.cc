// The Qt side of the dataset benchmark: QMYSQL through QSqlQuery.

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include "dataset_bench.h"

namespace velbench {

QtOutcome FetchWithQt(const Target& t, const std::string& sql) {
    QtOutcome out;
    int argc = 1;
    char name[] = "bench_dataset";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);  // for loading the driver plugin
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QMYSQL", "bench");
        db.setHostName(QString::fromStdString(t.host));
        db.setPort(static_cast<int>(t.port));
        db.setUserName(QString::fromStdString(t.user));
        db.setPassword(QString::fromStdString(t.password));
        db.setDatabaseName(QString::fromStdString(t.database));
        if (!db.open()) {
            out.error = db.lastError().text().toStdString();
            return out;
        }
        {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(QString::fromStdString(sql))) {
                out.error = q.lastError().text().toStdString();
                return out;
            }
            const int n = q.record().count();
            while (q.next()) {
                for (int i = 0; i < n; ++i)
                    if (!q.value(i).isNull()) ++out.values;
                ++out.rows;
            }
            out.ok = !q.lastError().isValid();
            if (!out.ok) out.error = q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("bench");
    return out;
}

}  // namespace velbench
