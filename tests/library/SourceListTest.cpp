#include <gtest/gtest.h>

#include <thread>

#include "RecordTestSupport.h"
#include "library/LLInvoiceList.h"
#include "library/LLInvoicesToLLSourceItemTransformer.h"
#include "library/LLSourceTreeController.h"
#include "platform/SFLocalizeHelper.h"

using library::LLIndexPath;
using library::LLInstant;
using library::LLInvoicePredicate;
using library::LLInvoiceRecord;
using library::LLInvoicesToLLSourceItemTransformer;
using library::LLSourceItem;
using library::LLSourceTreeController;
using library::LLSourceTreeNode;
using platform::Date;

namespace {

using Records = std::vector<std::shared_ptr<LLInvoiceRecord>>;
using Items = std::vector<std::shared_ptr<LLSourceItem>>;

std::vector<std::string> names(const Items& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item->name);
    return out;
}

std::vector<std::string> uids(const Items& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item->uid);
    return out;
}

LLInvoicePredicate period(const Date& from, const Date& to, std::string_view zone = {}) {
    return LLInvoicePredicate::issuedBetween(LLInstant::startOfDay(from, zone),
                                             LLInstant::startOfDay(to, zone));
}

}  // namespace

// --- grouping

TEST(SourceItems, EmptyLibraryHasOnlyAll) {
    Items tree = LLInvoicesToLLSourceItemTransformer().transformedValue({});
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0]->name, platform::localizedString("All"));
    EXPECT_EQ(tree[0]->uid, "all");
    EXPECT_EQ(tree[0]->predicate, LLInvoicePredicate::dated());
    EXPECT_TRUE(tree[0]->items.empty());
}

TEST(SourceItems, YearsNewestFirstAcrossNewYear) {
    TestLibrary library;
    Records records{library.addIssued(instant(2023, 12, 31)),
                    library.addIssued(instant(2024, 1, 1))};
    Items tree = LLInvoicesToLLSourceItemTransformer().transformedValue(records);
    const Items& years = tree[0]->items;
    ASSERT_EQ(uids(years), (std::vector<std::string>{"2024", "2023"}));
    EXPECT_EQ(names(years), uids(years));
    EXPECT_EQ(years[0]->predicate, period({2024, 1, 1}, {2025, 1, 1}));
    EXPECT_EQ(years[1]->predicate, period({2023, 1, 1}, {2024, 1, 1}));

    ASSERT_EQ(years[0]->items.size(), 1u);
    EXPECT_EQ(years[0]->items[0]->name, "Januar");
    EXPECT_EQ(years[0]->items[0]->uid, "2024-1");
    EXPECT_EQ(years[0]->items[0]->index, 1);
    ASSERT_EQ(years[1]->items.size(), 1u);
    const LLSourceItem& december = *years[1]->items[0];
    EXPECT_EQ(december.name, "Dezember");
    EXPECT_EQ(december.uid, "2023-12");
    // December ends where the next year starts.
    EXPECT_EQ(december.predicate, period({2023, 12, 1}, {2024, 1, 1}));
    EXPECT_TRUE(december.predicate->evaluate(*records[0]));
    EXPECT_FALSE(december.predicate->evaluate(*records[1]));
}

TEST(SourceItems, MonthsLatestFirstOncePerMonthUndatedNowhere) {
    TestLibrary library;
    Records records{library.addIssued(instant(2024, 3, 5)), library.addIssued(std::nullopt),
                    library.addIssued(instant(2024, 11, 30)),
                    library.addIssued(instant(2024, 3, 31)),
                    library.addIssued(instant(2024, 7, 16))};
    Items tree = LLInvoicesToLLSourceItemTransformer().transformedValue(records);
    ASSERT_EQ(tree[0]->items.size(), 1u);
    const Items& months = tree[0]->items[0]->items;
    EXPECT_EQ(names(months), (std::vector<std::string>{"November", "Juli", "März"}));
    EXPECT_EQ(uids(months), (std::vector<std::string>{"2024-11", "2024-7", "2024-3"}));
    EXPECT_EQ(months[1]->predicate, period({2024, 7, 1}, {2024, 8, 1}));
    // The undated record is in no group, not even "All".
    for (const auto& item : {tree[0], tree[0]->items[0], months[0], months[1], months[2]})
        EXPECT_FALSE(item->predicate->evaluate(*records[1])) << item->uid;
    EXPECT_TRUE(tree[0]->predicate->evaluate(*records[0]));
}

TEST(SourceItems, PeriodsFollowTheTimeZone) {
    // Midnight of 1 January in Berlin is still 31 December in UTC.
    TestLibrary library;
    Records records{library.addIssued(LLInstant::startOfDay({2024, 1, 1}, "Europe/Berlin"))};
    LLInvoicesToLLSourceItemTransformer transformer;
    transformer.setTimeZone("Europe/Berlin");
    Items tree = transformer.transformedValue(records);
    ASSERT_EQ(tree[0]->items.size(), 1u);
    const LLSourceItem& january = *tree[0]->items[0]->items.at(0);
    EXPECT_EQ(january.uid, "2024-1");
    EXPECT_EQ(january.predicate, period({2024, 1, 1}, {2024, 2, 1}, "Europe/Berlin"));
    EXPECT_TRUE(january.predicate->evaluate(*records[0]));
}

TEST(SourceItems, YearsSortByNumberNotText) {
    TestLibrary library;
    Records records{library.addIssued(instant(999, 5, 1)), library.addIssued(instant(2024, 5, 1)),
                    library.addIssued(instant(10000, 5, 1))};
    Items tree = LLInvoicesToLLSourceItemTransformer().transformedValue(records);
    EXPECT_EQ(uids(tree[0]->items), (std::vector<std::string>{"10000", "2024", "999"}));
}

// --- tree nodes

TEST(SourceTreeNode, WalksDepthFirst) {
    TestLibrary library;
    Records records{library.addIssued(instant(2024, 7, 1)), library.addIssued(instant(2024, 2, 1)),
                    library.addIssued(instant(2023, 5, 1))};
    Items tree = LLInvoicesToLLSourceItemTransformer().transformedValue(records);
    auto root = LLSourceTreeNode::makeTree(tree);

    const LLSourceTreeNode* february = root->nodeAtPath({0, 0, 1});
    ASSERT_TRUE(february);
    EXPECT_EQ(february->representedObject()->uid, "2024-2");
    EXPECT_EQ(february->indexPath(), (LLIndexPath{0, 0, 1}));
    EXPECT_EQ(root->nodeAtPath({0, 2}), nullptr);
    EXPECT_EQ(root->nodeAtPath({}), root.get());
    // From a node only its own subtree is searched.
    EXPECT_EQ(root->nodeAtPath({0, 1})->nodeAtPath({0, 0, 1}), nullptr);

    EXPECT_EQ(root->nodeForUID("2024-2"), february);
    EXPECT_EQ(root->nodeForUID(std::nullopt), nullptr);
    EXPECT_EQ(root->nodeForUID("2024-3"), nullptr);
    EXPECT_EQ(root->nodeForValueInKey("Februar", "name"), february);
    EXPECT_EQ(root->nodeForValueInKey("2023", "uid")->indexPath(), (LLIndexPath{0, 1}));
    EXPECT_EQ(root->nodeForValueInKey("2023", "predicate"), nullptr);

    // Identity, not equal contents.
    auto copy = std::make_shared<LLSourceItem>(*february->representedObject());
    EXPECT_EQ(root->nodeForObject(copy.get()), nullptr);
    EXPECT_EQ(root->nodeForObject(february->representedObject().get()), february);

    const LLSourceTreeNode* year2024 = root->nodeAtPath({0, 0});
    EXPECT_TRUE(february->isDecendantOfNode(year2024));
    EXPECT_TRUE(february->isDecendantOfNode(root.get()));
    EXPECT_FALSE(year2024->isDecendantOfNode(february));
    EXPECT_FALSE(february->isDecendantOfNode(root->nodeAtPath({0, 1})));
    EXPECT_EQ(year2024->count(), 2u);
    EXPECT_EQ(february->count(), 0u);
}

// --- saved state

class SourceTreeState : public ::testing::Test {
  protected:
    platform::Settings settings() const { return platform::Settings(dir_.path() / "test.conf"); }

    Items buildTree() { return LLInvoicesToLLSourceItemTransformer().transformedValue(records_); }
    std::unique_ptr<LLSourceTreeController> newController() {
        auto controller = std::make_unique<LLSourceTreeController>(settings());
        controller->setInWindow(true);
        return controller;
    }
    void SetUp() override {
        records_ = {library_.addIssued(instant(2024, 7, 16)),
                    library_.addIssued(instant(2024, 8, 2)),
                    library_.addIssued(instant(2023, 12, 31))};
    }

    TemporaryFolder dir_;
    TestLibrary library_;
    Records records_;
};

TEST_F(SourceTreeState, SelectsAllWhenNothingIsSaved) {
    auto controller = newController();
    int notifications = 0;
    Items lastSelection;
    controller->setSelectionObserver([&](const Items& selected) {
        ++notifications;
        lastSelection = selected;
    });
    controller->setContent(buildTree());
    EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"all"}));
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(uids(lastSelection), (std::vector<std::string>{"all"}));
    EXPECT_EQ(settings().stringListValue(LLSourceTreeController::kSelectedKey),
              (std::vector<std::string>{"all"}));
    EXPECT_EQ(settings().stringListValue(LLSourceTreeController::kExpandedKey),
              std::vector<std::string>{});
}

TEST_F(SourceTreeState, ExpansionAndSelectionSurviveRebuildAndRelaunch) {
    {
        auto controller = newController();
        controller->setContent(buildTree());
        const LLSourceTreeNode& root = controller->arrangedObjects();
        // Expanded out of row order; saved in row order.
        controller->expandItem(root.nodeForUID("2023"));
        controller->expandItem(root.nodeForUID("all"));
        controller->expandItem(root.nodeForUID("2024"));
        controller->setSelectedObjectsWithUIDs({"2024-8", "2024-7"});
        EXPECT_EQ(controller->expandedUIDs(), (std::vector<std::string>{"all", "2024", "2023"}));
        EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"2024-8", "2024-7"}));

        // Collapsing is saved at once, so the rebuilt tree keeps 2024 collapsed.
        controller->collapseItem(root.nodeForUID("2024"));
        EXPECT_EQ(settings().stringListValue(LLSourceTreeController::kExpandedKey),
                  (std::vector<std::string>{"all", "2023"}));
        records_.push_back(library_.addIssued(instant(2024, 9, 1)));
        controller->setContent(buildTree());
        EXPECT_EQ(controller->expandedUIDs(), (std::vector<std::string>{"all", "2023"}));
        EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"2024-8", "2024-7"}));
        EXPECT_FALSE(controller->isItemExpanded(controller->arrangedObjects().nodeForUID("2024")));
    }
    // The next launch.
    auto controller = newController();
    controller->setContent(buildTree());
    EXPECT_EQ(controller->expandedUIDs(), (std::vector<std::string>{"all", "2023"}));
    EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"2024-8", "2024-7"}));
    // Rows: All, 2024 (collapsed), 2023, its December.
    auto rows = controller->visibleRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3]->representedObject()->uid, "2023-12");
}

TEST_F(SourceTreeState, StaleSelectionFallsBackToAll) {
    settings().setStringListValue(LLSourceTreeController::kSelectedKey, {"2019-4", "2019"});
    settings().setStringListValue(LLSourceTreeController::kExpandedKey, {"all", "2019"});
    auto controller = newController();
    controller->setContent(buildTree());
    EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"all"}));
    EXPECT_EQ(controller->expandedUIDs(), (std::vector<std::string>{"all"}));
    EXPECT_EQ(settings().stringListValue(LLSourceTreeController::kSelectedKey),
              (std::vector<std::string>{"all"}));
}

TEST_F(SourceTreeState, SavesOnlyInAWindowWithContentAndNotWhileRestoring) {
    LLSourceTreeController controller(settings());
    controller.setContent(buildTree());
    controller.expandItem(controller.arrangedObjects().nodeForUID("all"));
    EXPECT_FALSE(settings().value(LLSourceTreeController::kExpandedKey));

    controller.setInWindow(true);
    controller.setContent({});
    controller.saveState();
    EXPECT_FALSE(settings().value(LLSourceTreeController::kExpandedKey));

    // Restoring a state writes nothing back, even where it cannot apply all of it.
    settings().setStringListValue(LLSourceTreeController::kExpandedKey, {"all", "2024", "1999"});
    settings().setStringListValue(LLSourceTreeController::kSelectedKey, {"2024-7"});
    controller.setContent(buildTree());
    EXPECT_EQ(controller.expandedUIDs(), (std::vector<std::string>{"all", "2024"}));
    EXPECT_EQ(settings().stringListValue(LLSourceTreeController::kExpandedKey),
              (std::vector<std::string>{"all", "2024", "1999"}));
    EXPECT_FALSE(controller.restoring());
}

TEST_F(SourceTreeState, SelectionByUIDsAndObjects) {
    auto controller = newController();
    controller->setContent(buildTree());
    controller->setSelectedObjectsWithUIDs({"nothing"});
    EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"all"}));
    controller->setSelectedUIDs({"nothing"});
    EXPECT_TRUE(controller->selectedUIDs().empty());

    auto july = controller->objectAtPath({0, 0, 1});
    ASSERT_TRUE(july);
    EXPECT_EQ(july->uid, "2024-7");
    EXPECT_EQ(controller->objectAtPath({0, 5}), nullptr);
    controller->setSelectedObjects({july, std::make_shared<LLSourceItem>(*july)});
    EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"2024-7"}));
    EXPECT_EQ(controller->selectionIndexPaths(), (std::vector<LLIndexPath>{{0, 0, 1}}));
    EXPECT_EQ(settings().value(LLSourceTreeController::kSelectedKey), "2024-7");
}

TEST_F(SourceTreeState, ContentFromAnotherThreadIsIgnored) {
    auto controller = newController();
    controller->setContent(buildTree());
    std::thread([&] { controller->setContent({}); }).join();
    EXPECT_EQ(controller->content().size(), 1u);
    EXPECT_EQ(controller->selectedUIDs(), (std::vector<std::string>{"all"}));
}

TEST(IniStringList, ReadsAndWritesTheQSettingsForm) {
    using library::iniStringList;
    using library::parseIniStringList;
    EXPECT_EQ(iniStringList({}), "@Invalid()");
    EXPECT_EQ(iniStringList({"all", "2024-7"}), "all, 2024-7");
    EXPECT_TRUE(parseIniStringList("").empty());
    EXPECT_TRUE(parseIniStringList("@Invalid()").empty());
    EXPECT_EQ(parseIniStringList("all,2024 ,  2024-7"),
              (std::vector<std::string>{"all", "2024", "2024-7"}));
    EXPECT_EQ(parseIniStringList("\"a, b\", \" c\""), (std::vector<std::string>{"a, b", " c"}));
    std::vector<std::string> odd{"a,b", "say \"hi\"", "back\\slash", "@at", " padded ", "x;y"};
    EXPECT_EQ(parseIniStringList(iniStringList(odd)), odd);
}

// --- the list filter

TEST(InvoiceListFilter, SelectedGroupsAreOredAndSearchNarrows) {
    TestLibrary library;
    Records records{library.addIssued(instant(2024, 7, 3), "Müller GmbH", "A"),
                    library.addIssued(instant(2024, 8, 3), "Schmidt AG", "B"),
                    library.addIssued(instant(2024, 9, 3), "MULLER SARL", "C"),
                    library.addIssued(std::nullopt, "Müller GmbH", "D"),
                    library.addIssued(instant(2024, 7, 20), "Schmidt AG", "E")};
    Items tree = LLInvoicesToLLSourceItemTransformer().transformedValue(records);
    auto root = LLSourceTreeNode::makeTree(tree);
    auto item = [&](const char* uid) { return root->nodeForUID(uid)->representedObject(); };
    auto numbers = [](const Records& list) {
        std::string out;
        for (const auto& record : list) out += record->name().value_or("?");
        return out;
    };

    auto months = library::filterPredicateForSelection({item("2024-9"), item("2024-7")});
    EXPECT_EQ(numbers(library::arrangeInvoices(records, months, "")), "ACE");
    EXPECT_EQ(numbers(library::arrangeInvoices(records, months, "muller")), "AC");
    auto all = library::filterPredicateForSelection({item("all")});
    EXPECT_EQ(numbers(library::arrangeInvoices(records, all, "")), "ABCE");
    EXPECT_EQ(numbers(library::arrangeInvoices(records, std::nullopt, "MÜLL")), "ACD");
    // A group without predicate adds nothing; no group shows nothing.
    auto plain = std::make_shared<LLSourceItem>();
    EXPECT_EQ(numbers(library::arrangeInvoices(
                  records, library::filterPredicateForSelection({plain, item("2024-8")}), "")),
              "B");
    EXPECT_EQ(
        numbers(library::arrangeInvoices(records, library::filterPredicateForSelection({}), "")),
        "");
}
