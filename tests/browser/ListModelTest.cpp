#include "browser/ListModel.h"

#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QSignalSpy>

namespace {

QStringList column(const CMyListModel& model, int c) {
  QStringList texts;
  for (int row = 0; row < model.rowCount(); ++row) texts << model.text(row, c);
  return texts;
}

CMyListModel& fill(CMyListModel& model, const QStringList& ids) {
  model.SetHeadings({"ID", "NAME"});
  for (int i = 0; i < ids.size(); ++i) model.AddRow({ids[i], QStringLiteral("n%1").arg(i)}, i);
  return model;
}

TEST(ListSorting, FirstClickAscendsSecondDescendsAnotherColumnAscendsAgain) {
  CMyListModel model;
  fill(model, {"9", "10", "b", "B", "a"});
  EXPECT_EQ(model.GetSortColumn(), -1);
  EXPECT_EQ(model.GetSortDirection(), 0);
  model.HeadingClicked(0);
  // Ordinal text order: digits before capitals before small letters, "10" before "9".
  EXPECT_EQ(column(model, 0), (QStringList{"10", "9", "B", "a", "b"}));
  EXPECT_EQ(model.GetSortDirection(), 1);
  model.HeadingClicked(0);
  EXPECT_EQ(column(model, 0), (QStringList{"b", "a", "B", "9", "10"}));
  EXPECT_EQ(model.GetSortDirection(), 0);
  model.HeadingClicked(1);
  EXPECT_EQ(model.GetSortColumn(), 1);
  EXPECT_EQ(model.GetSortDirection(), 1);
  EXPECT_EQ(column(model, 1), (QStringList{"n0", "n1", "n2", "n3", "n4"}));
  // Every row keeps its value record.
  for (int row = 0; row < model.rowCount(); ++row) EXPECT_EQ(model.record(row), row);
}

TEST(ListSorting, SelectionTravelsWithItsRows) {
  CMyListModel model;
  fill(model, {"c", "a", "b"});
  QItemSelectionModel selection(&model);
  selection.select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  model.HeadingClicked(0);
  ASSERT_EQ(selection.selectedRows().size(), 1);
  EXPECT_EQ(model.text(selection.selectedRows()[0].row(), 0), "c");
}

TEST(ListSorting, FewerThanTwoRowsStoreTheColumnButLeaveTheArrow) {
  for (const QStringList& ids : {QStringList{}, QStringList{"only"}}) {
    CMyListModel model;
    fill(model, ids);
    QSignalSpy arrow(&model, &CMyListModel::sortArrowChanged);
    model.HeadingClicked(1);
    EXPECT_EQ(arrow.count(), 0);
    EXPECT_EQ(model.GetSortColumn(), 1);
    EXPECT_EQ(model.GetSortDirection(), 1);
  }
  CMyListModel model;
  fill(model, {"b", "a"});
  QSignalSpy arrow(&model, &CMyListModel::sortArrowChanged);
  model.HeadingClicked(0);
  ASSERT_GE(arrow.count(), 1);
  EXPECT_EQ(arrow.last().at(0).toInt(), 0);
  EXPECT_TRUE(arrow.last().at(1).toBool());
}

TEST(ListSorting, RefillingKeepsTheOrderOfInsertion) {
  CMyListModel model;
  fill(model, {"b", "a"});
  model.HeadingClicked(0);
  model.Clear();
  fill(model, {"z", "y"});
  EXPECT_EQ(column(model, 0), (QStringList{"z", "y"}));
  EXPECT_EQ(model.GetSortColumn(), 0);
}

}  // namespace
