#include "app/catalogue_editor.h"

#include <gtest/gtest.h>

#include <string>

#include "config/default_servers.h"
#include "config/settings.h"

namespace {

ServerCatalogue Servers(std::initializer_list<const char*> titles, int userAdded = 1) {
    ServerCatalogue servers;
    for (const char* title : titles) {
        servers.Add(ServerEntry(title, std::string(title) + ".example", userAdded));
    }
    return servers;
}

std::string Titles(const ServerCatalogue& servers) {
    std::string titles;
    for (int i = 0; i < servers.Size(); ++i) {
        titles += servers.At(i).title + " ";
    }
    return titles;
}

TEST(CatalogueEditorTest, ChosenIndexStaysInRange) {
    struct Case {
        int opened;
        int clicked;
        int chosen;
    };
    for (const Case& c : {Case{1, 2, 2}, Case{5, 1, 1}, Case{-1, -1, 0}, Case{2, 3, 0}}) {
        CatalogueEditor editor(Servers({"a", "b", "c"}), c.opened);
        EXPECT_LT(editor.chosen(), 3) << c.opened;
        editor.Choose(c.clicked);
        EXPECT_EQ(c.chosen, editor.chosen()) << c.clicked;
    }
}

TEST(CatalogueEditorTest, DeletionsStayThroughAddAndRestoreAndNeverTheLast) {
    CatalogueEditor editor(Servers({"a", "b", "c"}), 2);
    ASSERT_TRUE(editor.DeleteChosen());
    EXPECT_EQ("a b ", Titles(editor.servers()));
    EXPECT_EQ(1, editor.chosen());
    editor.Add(ServerEntry("d", "d.example", 1));
    EXPECT_EQ("a b d ", Titles(editor.servers()));
    EXPECT_EQ(1, editor.chosen());
    editor.RestoreDefaults();  // user entries stay, deleted ones too
    EXPECT_EQ("a b d " + Titles([] {
                  ServerCatalogue builtIn;
                  Settings::RestoreDefaultEntries(builtIn);
                  return builtIn;
              }()),
              Titles(editor.servers()));
    EXPECT_EQ(0, editor.chosen());

    CatalogueEditor last(Servers({"only"}), 0);
    EXPECT_FALSE(last.DeleteChosen());
    EXPECT_EQ(1, last.servers().Size());
}

TEST(CatalogueEditorTest, RestoreDefaultBringsBackDeletedBuiltInEntries) {
    ServerCatalogue builtIn;
    Settings::RestoreDefaultEntries(builtIn);
    CatalogueEditor editor(builtIn, 0);
    ASSERT_TRUE(editor.DeleteChosen());
    editor.RestoreDefaults();
    EXPECT_EQ(Titles(builtIn), Titles(editor.servers()));
}

TEST(CatalogueEditorTest, FindTheBestChoosesInTheCopy) {
    CatalogueEditor editor(Servers({"a", "b", "c"}), 0);
    std::vector<RunResult> results(3);
    results[0].failure = FailureOf(FailureKind::kNoAnswer);
    for (const auto& [index, delay] : {std::pair{1, 0.04}, {2, 0.03}}) {
        results[index].delay = delay;
        editor.SetDelay(index, delay);
    }
    EXPECT_EQ(2, editor.ChooseBest(results).bestIndex);
    EXPECT_EQ(2, editor.chosen());
    EXPECT_EQ(0.03, editor.chosenEntry().delay);
}

TEST(CatalogueEditorTest, EveryEditMakesTheCatalogueTheUsersAndRestoreBringsBackTheList) {
    ServersPolicy list;
    list.scope = PolicyScope::kMachineRecommended;
    list.servers = {ServerEntry("p", "p.corp", ServerEntry::kFromPolicy)};
    const auto edits = {+[](CatalogueEditor& e) { e.Add(ServerEntry("d", "d.example", 1)); },
                        +[](CatalogueEditor& e) { e.DeleteChosen(); },
                        +[](CatalogueEditor& e) { e.RestoreDefaults(); }};
    for (const auto edit : edits) {
        CatalogueEditor editor(Servers({"a", "b"}), 0, list);
        editor.Choose(1);
        editor.SetDelay(0, 0.1);  // a measurement is no edit
        EXPECT_FALSE(editor.EntriesChanged());
        edit(editor);
        EXPECT_TRUE(editor.EntriesChanged());
    }
    CatalogueEditor editor(Servers({"b"}, 0), 0, list);
    editor.Add(ServerEntry("mine", "mine.example", ServerEntry::kUserAdded));
    editor.RestoreDefaults();
    EXPECT_EQ("p mine ", Titles(editor.servers()));
}

}  // namespace

namespace {

TEST(CatalogueEditorTest, SecureGroupJoinsOnceAndKeepsTheChoice) {
    const struct {
        const char* name;
        ServerCatalogue opened;
        int chosen;
        int added;
    } cases[] = {
        {"plain catalogue", Servers({"a", "b"}), 1, 5},
        {"one of them already there",
         [] {
             ServerCatalogue servers = Servers({"a"});
             servers.Add(ServerEntry("Own", kSecureServers[1].address, ServerEntry::kUserAdded));
             return servers;
         }(),
         1, 4},
    };
    for (const auto& c : cases) {
        CatalogueEditor editor(c.opened, c.chosen);
        EXPECT_EQ(c.added, editor.AddSecureServers()) << c.name;
        EXPECT_TRUE(editor.EntriesChanged()) << c.name;
        EXPECT_EQ(c.chosen, editor.chosen()) << c.name;
        EXPECT_EQ(c.opened.Size() + c.added, editor.servers().Size()) << c.name;
        EXPECT_TRUE(editor.servers().At(c.opened.Size()).nts) << c.name;
        EXPECT_EQ(0, editor.AddSecureServers()) << c.name;
    }
    CatalogueEditor unchanged(Servers({"a"}), 0);
    ASSERT_EQ(5, unchanged.AddSecureServers());
    CatalogueEditor again(unchanged.servers(), 0);
    EXPECT_EQ(0, again.AddSecureServers());
    EXPECT_FALSE(again.EntriesChanged());  // nothing added: the catalogue is not the user's yet
}

}  // namespace
