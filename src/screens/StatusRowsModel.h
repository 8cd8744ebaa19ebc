#pragma once
#include "screens/LogRow.h"
#include "state/RecordListModel.h"

#include <QtQml/qqmlregistration.h>

// The events and cameras lists of the status screen. Replacing the rows keeps the ones that stay,
// so a statistics refresh is an edit of the changed rows and the view keeps its place.
class StatusRowsModel : public RecordListModel<LogRow>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    using RecordListModel<LogRow>::RecordListModel;

    QHash<int, QByteArray> roleNames() const override { return LogRowRoles::names(); }
    QString rowText(int row) const;

protected:
    QString keyOf(const LogRow &row) const override { return row.key; }
    QVariant roleValue(const LogRow &row, int role) const override;
};
