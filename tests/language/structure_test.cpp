#include <string>
#include <vector>

#include "core_fixture.h"
#include "member_cache.h"

using namespace tavro;

using NameTree = CoreTest;

namespace {
Atom* member(Atom* owner, const char* name, Atom* value = nullptr)
{
    return CreatePath(owner, name, value, true);
}
}  // namespace

TEST_F(NameTree, InnerScopeWinsAndPartialFailureStops)
{
    Atom* rootX = member(Root, "x", NewWord("outer"));
    Atom* f = member(Root, "f");
    Atom* fx = member(f, "x", NewWord("inner"));
    PushContext(f);
    EXPECT_EQ(Resolve("x"), fx);
    PopContext();
    EXPECT_EQ(Resolve("x"), rootX);

    // a exists in the inner scope without b: the outer a.b is never seen.
    Atom* outerA = member(Root, "a");
    member(outerA, "b");
    Atom* innerA = member(f, "a");
    PushContext(f);
    EXPECT_EQ(Resolve("a.b"), nullptr);
    EXPECT_EQ(State->LastOwner, innerA);
    EXPECT_EQ(LastName(), "b");
    // Complete failure: no owner, the whole name.
    EXPECT_EQ(Resolve("nothing.here"), nullptr);
    EXPECT_EQ(State->LastOwner, nullptr);
    EXPECT_EQ(LastName(), "nothing.here");
    PopContext();
}

TEST_F(NameTree, RootPathsDotsAndGlobals)
{
    Atom* a = member(Root, "a");
    Atom* b = member(a, "b");
    Atom* c = member(b, "c");
    PushContext(c);
    EXPECT_EQ(Resolve("[Root]"), Root);
    EXPECT_EQ(Resolve("[Root].a"), a);
    EXPECT_EQ(Resolve("[Root].a.b"), b);
    EXPECT_EQ(Resolve("[Root].zz"), nullptr);
    PopContext();

    Atom* x = member(a, "x");
    Atom* node = b;
    std::string path = ".x";
    EXPECT_EQ(Walk(node, path), x);  // one dot climbs to the parent
    node = c;
    path = "..x";
    EXPECT_EQ(Walk(node, path), x);  // two dots climb twice
    node = a;
    path = "...";
    EXPECT_EQ(Walk(node, path), nullptr);

    // A child of the root flagged as a global scope is searched by name.
    Atom* g = member(Root, "globals");
    Atom* gv = member(g, "pi", NewNumber(3.14L));
    Atom* f = member(Root, "f");
    PushContext(f);
    EXPECT_EQ(Resolve("pi"), nullptr);
    SetFlag(g, flGlobalScope, true);
    EXPECT_EQ(Resolve("pi"), gv);
    SetFlag(g, flGlobalScope, false);
    EXPECT_EQ(Resolve("pi"), nullptr);
    // Attached with the flag, and detached again.
    Atom* h = NewVariable("more", nullptr);
    Atom* hv = member(h, "e", NewNumber(2.72L));
    h->Flags |= flGlobalScope;
    Attach(h, Root);
    EXPECT_EQ(Resolve("e"), hv);
    Detach(h);
    EXPECT_EQ(Resolve("e"), nullptr);
    PopContext();
}

TEST_F(NameTree, CreatePathMakesMissingSegmentsWithOneValue)
{
    Atom* p = member(Root, "p");
    Atom* v = NewWord("v");
    Atom* r = CreatePath(Root, "p.q.r", v, false);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(TextOf(r), "r");
    EXPECT_EQ(r->Parent->Parent, p);
    EXPECT_EQ(LeftOf(r), v);
    EXPECT_EQ(LeftOf(r->Parent), v);
    // Existing: returned unchanged.
    EXPECT_EQ(CreatePath(Root, "p.q.r", NewWord("w"), false), r);
    EXPECT_EQ(LeftOf(r), v);
    // "[]" is always new.
    EXPECT_NE(NewAnonymous(nullptr), NewAnonymous(nullptr));
    EXPECT_EQ(DottedPath(r), "p.q.r");
    EXPECT_EQ(DottedPath(Root), "[Root]");
}

TEST_F(NameTree, SpecialMembersAndClearNode)
{
    Atom* x = member(Root, "x", NewNumber(1));
    Atom* change = member(x, "onchange");
    Atom* draw = member(x, "ondrawimage");
    member(x, "other");
    member(x, "ondepend");
    EXPECT_EQ(x->ChangeChild, change);
    EXPECT_EQ(x->DrawImageChild, draw);
    Detach(change);
    EXPECT_EQ(x->ChangeChild, nullptr);
    Attach(change, x);
    ClearNode(x);
    EXPECT_EQ(LeftOf(x), nullptr);
    EXPECT_EQ(x->ChangeChild, change);
    EXPECT_EQ(x->DrawImageChild, nullptr);
    ASSERT_NE(x->FirstChild, nullptr);
    EXPECT_EQ(TextOf(x->FirstChild), "ondepend");
    EXPECT_EQ(x->FirstChild->NextSibling, change);
    EXPECT_EQ(change->NextSibling, nullptr);
}

TEST_F(NameTree, CopyIntoSharesValuesAndSkipsOnchange)
{
    Atom* src = member(Root, "src", NewWord("v"));
    member(src, "a", NewNumber(1));
    member(src, "b", NewNumber(2));
    member(src, "onchange");
    Atom* target = NewAnonymous(nullptr);
    CopyInto(src, target);
    EXPECT_EQ(LeftOf(target), LeftOf(src));
    EXPECT_EQ(ToText(target), "{[]=v {a=1} {b=2}}");
    EXPECT_EQ(target->ChangeChild, nullptr);
}

TEST_F(NameTree, CaseInsensitiveNames)
{
    SetCaseSensitive(false);
    Atom* n = CreatePath(Root, Normalize("Abc"), nullptr, false);
    EXPECT_EQ(Resolve("ABC"), n);
    EXPECT_EQ(Resolve("abc"), n);
    Atom* ch = CreatePath(n, Normalize("OnChange"), nullptr, true);
    EXPECT_EQ(n->ChangeChild, ch);
    SetCaseSensitive(true);
}

TEST_F(NameTree, InheritedFlagsAndClearBusy)
{
    Atom* a = member(Root, "a");
    Atom* b = member(a, "b");
    a->Flags |= flLocked;
    EXPECT_TRUE(HasInheritedFlag(b, flLocked));
    EXPECT_FALSE(HasInheritedFlag(a, flAssigning));
    a->Flags |= flBusy;
    b->Flags |= flBusy;
    ClearBusy(Root);
    EXPECT_FALSE(HasFlag(a, flBusy));
    EXPECT_FALSE(HasFlag(b, flBusy));
}

// Lookups are cached per owner and name; every change of the tree must show
// through at once.
TEST_F(NameTree, LookupsFollowEveryChangeOfTheTree)
{
    Atom* older = member(Root, "v", NewNumber(1));
    EXPECT_EQ(Resolve("v"), older);
    EXPECT_EQ(Resolve("w"), nullptr);  // remembered as absent
    Atom* w = member(Root, "w");
    EXPECT_EQ(Resolve("w"), w);
    Atom* newer = member(Root, "v", NewNumber(2));
    EXPECT_EQ(Resolve("v"), newer);  // the newest member of a name wins
    Detach(newer);
    EXPECT_EQ(Resolve("v"), older);
    SetName(older, "renamed");
    EXPECT_EQ(Resolve("v"), nullptr);
    EXPECT_EQ(Resolve("renamed"), older);

    Atom* obj = member(Root, "obj");
    Atom* a = member(obj, "a");
    EXPECT_EQ(ResolveFrom(obj, "a"), a);
    ClearNode(obj);
    EXPECT_EQ(ResolveFrom(obj, "a"), nullptr);
    EXPECT_EQ(Resolve("obj.a"), nullptr);

    // A recycled atom that hangs under the same owner by another name is
    // not taken for the old member.
    Atom* gone = member(obj, "temp");
    EXPECT_EQ(ResolveFrom(obj, "temp"), gone);
    Detach(gone);
    gone->Parent = obj;  // as if recycled and linked without Attach
    SetText(&gone->Text, "other");
    EXPECT_EQ(ResolveFrom(obj, "temp"), nullptr);
}

TEST_F(NameTree, LongMemberChainsAnswerLikeAScanWhateverHappensToThem)
{
    // An owner with hundreds of members (some names twice) is looked up
    // through its index; every answer must be the first member of that
    // name in chain order, after attaching, detaching, renaming, clearing
    // and a collection alike.
    Atom* owner = member(Root, "owner");
    std::vector<Atom*> nodes;
    auto nameOf = [](int i) { return "n" + std::to_string(i % 150); };
    auto scan = [&](const std::string& name) -> Atom* {
        for (Atom* m = owner->FirstChild; m; m = m->NextSibling)
            if (TextOf(m) == name) return m;
        return nullptr;
    };
    auto checkAll = [&](const char* when) {
        for (int i = 0; i < 160; ++i)
            ASSERT_EQ(FindMember(owner, nameOf(i)), scan(nameOf(i))) << when << " " << nameOf(i);
    };
    for (int i = 0; i < 300; ++i) nodes.push_back(member(owner, nameOf(i).c_str()));
    checkAll("made");
    for (int i = 0; i < 300; i += 7) Detach(nodes[size_t(i)]);
    checkAll("detached");
    for (int i = 0; i < 300; i += 14) Attach(nodes[size_t(i)], owner);
    checkAll("attached again");
    SetName(nodes[3], "renamed");
    EXPECT_EQ(FindMember(owner, "renamed"), nodes[3]);
    checkAll("renamed");
    member_index::Clear();
    checkAll("index dropped");
    ClearNode(owner);
    EXPECT_EQ(FindMember(owner, "n1"), nullptr);
    for (int i = 0; i < 100; ++i) member(owner, nameOf(i).c_str());
    checkAll("made again");
}

// Many words read in a few scopes, over and over: far more (word, scope)
// pairs than remembered places, so pairs share places, push each other
// out and come back. Every answer is still the general lookup's, also
// after the tree changed under remembered answers.
TEST_F(NameTree, RememberedLookupsOfManySitesAnswerLikeTheGeneralLookup)
{
    std::vector<Atom*> scopes = {Root, member(Root, "s1"), member(Root, "s2")};
    std::vector<Atom*> words;
    for (int i = 0; i < 3000; ++i) {
        std::string name = "n" + std::to_string(i % 500);
        words.push_back(NewWord(name));
        if (i < 500) member(i % 2 ? scopes[1] : Root, name.c_str(), NewNumber(i));
    }
    auto checkAll = [&] {
        for (int round = 0; round < 2; ++round)
            for (Atom* scope : scopes) {
                PushContext(scope);
                for (Atom* w : words) ASSERT_EQ(ResolveName(w, TextOf(w)), Resolve(TextOf(w))) << TextOf(w);
                PopContext();
            }
    };
    checkAll();
    // New members that hide remembered answers, and one taken away.
    member(scopes[2], "n7");
    member(scopes[1], "n8");
    Detach(ResolveFrom(scopes[1], "n9"));
    checkAll();
}
