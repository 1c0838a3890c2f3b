#pragma once

#include <QAbstractTableModel>

// The cells of an owner-drawn grid with the text that `Screen` gives them, its row 0 being the
// heading; which rows there are is the subclass's.
template <typename Screen>
class ScreenCellsModel : public QAbstractTableModel {
public:
    ScreenCellsModel(Screen& screen, QObject* parent) : QAbstractTableModel(parent), screen_(screen) {}

    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : Screen::ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return screen_.cellText(index.row() + 1, index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return screen_.cellText(0, section);
    }

protected:
    Screen& screen_;
};
