// Family-structure checks ("family.err") and the search for marriage or
// consanguinity loops. The graph walks keep their own stack instead of
// recursing, so pedigrees of many generations cannot exhaust the call stack;
// they visit persons in the same order a recursive walk would.
#include <fstream>
#include <iostream>
#include <map>
#include <numeric>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pedigrees.h"
#include "utilities.h"

namespace {

bool isLeaf(const Person* person) {
    return person == nullptr || person->key == "NIL";
}

bool isFounder(const Person& person) {
    return person.fatherId == "0" && person.motherId == "0";
}

template <typename Record>
void collectInOrder(Record* node, std::vector<Record*>& records) {
    if (node == nullptr || node->key == "NIL") {
        return;
    }
    collectInOrder(node->left, records);
    records.push_back(node);
    collectInOrder(node->right, records);
}

// The persons of one pedigree in key order, with each person's children (the
// persons naming it as father or mother) also in key order.
class FamilyGraph {
  public:
    FamilyGraph(Person* root, Pedigree* pedigree) : pedigree_(pedigree) {
        collectInOrder(root, persons_);
        for (Person* person : persons_) {
            children_[person->fatherId].push_back(person);
            if (person->motherId != person->fatherId) {
                children_[person->motherId].push_back(person);
            }
        }
    }

    const std::vector<Person*>& persons() const { return persons_; }

    const std::vector<Person*>& childrenOf(const Person* parent) const {
        static const std::vector<Person*> none;
        const auto found = children_.find(parent->personId);
        return found == children_.end() ? none : found->second;
    }

    Person* find(const std::string& personId) const {
        return pedigree_ != nullptr ? pedigree_->getPerson(personId) : nullptr;
    }

    const std::string& pedigreeId() const { return pedigree_->pedigreeId; }

  private:
    Pedigree* pedigree_;
    std::vector<Person*> persons_;
    std::unordered_map<std::string, std::vector<Person*>> children_;
};

bool isChildOf(const Person& child, const Person& parent) {
    return child.fatherId == parent.personId || child.motherId == parent.personId;
}

// Topology walk from a person: its children not yet reached (each walked in
// turn), then its mother and its father when they are in the pedigree.
class TopologyWalk {
  public:
    TopologyWalk(const FamilyGraph& graph, int& visitCount)
        : graph_(graph), visitCount_(visitCount) {}

    void fromChildren(Person* person) { run({person, 0, Stage::Children}); }
    void fromParents(Person* person) { run({person, 0, Stage::Mother}); }

  private:
    enum class Stage { Children, Mother, Father, Done };
    struct Frame {
        Person* person;
        std::size_t next;
        Stage stage;
    };

    void run(Frame start) {
        std::vector<Frame> stack{start};
        while (!stack.empty()) {
            Frame& frame = stack.back();
            Person* reached = step(frame);
            if (frame.stage == Stage::Done && reached == nullptr) {
                stack.pop_back();
            } else if (reached != nullptr) {
                stack.push_back({reached, 0, Stage::Children});
            }
        }
    }

    // Advances the frame to the next person it reaches (marked and counted),
    // or to Done.
    Person* step(Frame& frame) {
        if (frame.stage == Stage::Children) {
            const auto& children = graph_.childrenOf(frame.person);
            while (frame.next < children.size()) {
                Person* child = children[frame.next++];
                if (!child->greyMark) {
                    return reach(child);
                }
            }
            frame.stage = Stage::Mother;
        }
        if (frame.stage == Stage::Mother) {
            frame.stage = Stage::Father;
            if (Person* mother = notGreyParent(frame.person->motherId)) {
                return reach(mother);
            }
        }
        if (frame.stage == Stage::Father) {
            frame.stage = Stage::Done;
            if (Person* father = notGreyParent(frame.person->fatherId)) {
                return reach(father);
            }
        }
        return nullptr;
    }

    Person* notGreyParent(const std::string& parentId) const {
        if (parentId == "0") {
            return nullptr;
        }
        Person* parent = graph_.find(parentId);
        return parent != nullptr && !parent->greyMark ? parent : nullptr;
    }

    Person* reach(Person* person) {
        person->greyMark = true;
        ++visitCount_;
        return person;
    }

    const FamilyGraph& graph_;
    int& visitCount_;
};

void printLoopLine(const std::string& pedigreeId) {
    std::cout << "(Atleast one marrige or consanguinty loop found from the pedigree " << pedigreeId
              << ")\n"
              << std::flush;
}

// The loop search: from a founder down to the children, across to each
// child's other parent, to that partner's other children and to the siblings
// of the partner. Meeting a person twice means a loop.
class LoopSearch {
  public:
    LoopSearch(const FamilyGraph& graph, Pedigrees& store) : graph_(graph), store_(store) {}

    void descend(Person* person) { run({Step::Descend, person, nullptr}); }
    void partner(Person* person, Person* child) { run({Step::Partner, person, child}); }
    void partnerChildren(Person* partner, Person* person) {
        run({Step::PartnerChildren, partner, person});
    }
    void partnerParents(Person* partner) { run({Step::PartnerParents, partner, nullptr}); }
    void siblings(Person* parent, Person* child) { run({Step::Siblings, parent, child}); }

  private:
    enum class Step { Descend, Partner, PartnerChildren, PartnerParents, Siblings };
    struct Frame {
        Step step;
        Person* a;  // Descend: P; Partner: P; PartnerChildren: Q; PartnerParents: Q; Siblings: R
        Person* b;  // Partner: K; PartnerChildren: P; Siblings: Q
        std::size_t next = 0;
        int phase = 0;
        Person* found = nullptr;  // the child or partner being followed
    };

    void run(Frame start) {
        std::vector<Frame> stack{start};
        while (!stack.empty() && !store_.loopFound) {
            Frame frame = stack.back();
            stack.pop_back();
            resume(frame, stack);
        }
    }

    // Runs the frame up to its next call; the frame goes back on the stack
    // below the call it makes, or is finished.
    void resume(Frame frame, std::vector<Frame>& stack) {
        switch (frame.step) {
            case Step::Descend:
                return resumeChildren(frame, stack, nullptr);
            case Step::PartnerChildren:
                return resumeChildren(frame, stack, frame.b);
            case Step::Partner:
                return resumePartner(frame, stack);
            case Step::PartnerParents:
                return resumePartnerParents(frame, stack);
            case Step::Siblings:
                return resumeSiblings(frame, stack);
        }
    }

    // Descend (skip null) and PartnerChildren (skip the children of P): each
    // child not met before is descended from and then its other parent is
    // followed.
    void resumeChildren(Frame& frame, std::vector<Frame>& stack, const Person* skip) {
        if (frame.phase == 1) {
            frame.phase = 2;
            stack.push_back(frame);
            stack.push_back({Step::Partner, frame.a, frame.found});
            return;
        }
        const auto& children = graph_.childrenOf(frame.a);
        while (frame.next < children.size()) {
            Person* child = children[frame.next++];
            if (skip != nullptr && isChildOf(*child, *skip)) {
                continue;
            }
            if (!visit(child)) {
                return;
            }
            frame.found = child;
            frame.phase = 1;
            stack.push_back(frame);
            stack.push_back({Step::Descend, child, nullptr});
            return;
        }
    }

    void resumePartner(Frame& frame, std::vector<Frame>& stack) {
        if (frame.phase == 1) {
            stack.push_back({Step::PartnerParents, frame.found, nullptr});
            return;
        }
        Person* other = nullptr;
        if (frame.b->motherId == frame.a->personId) {
            other = graph_.find(frame.b->fatherId);
        } else if (frame.b->fatherId == frame.a->personId) {
            other = graph_.find(frame.b->motherId);
        }
        if (other == nullptr || other->blueMark) {
            return;
        }
        other->blueMark = true;
        frame.found = other;
        frame.phase = 1;
        stack.push_back(frame);
        stack.push_back({Step::PartnerChildren, other, frame.a});
    }

    // Only one parent of the partner is followed: the father when he is in
    // the pedigree, else the mother.
    void resumePartnerParents(const Frame& frame, std::vector<Frame>& stack) {
        Person* parent = graph_.find(frame.a->fatherId);
        if (parent == nullptr) {
            parent = graph_.find(frame.a->motherId);
        }
        if (parent == nullptr || parent->blueMark) {
            return;
        }
        parent->blueMark = true;
        stack.push_back({Step::Siblings, parent, frame.a});
    }

    void resumeSiblings(Frame& frame, std::vector<Frame>& stack) {
        const auto& children = graph_.childrenOf(frame.a);
        while (frame.next < children.size()) {
            Person* sibling = children[frame.next++];
            if (sibling->personId == frame.b->personId) {
                continue;
            }
            if (!visit(sibling)) {
                return;
            }
            stack.push_back(frame);
            stack.push_back({Step::Descend, sibling, nullptr});
            return;
        }
    }

    // Marks the person; false (and the loop reported) when it was met before.
    bool visit(Person* person) {
        if (person->blueMark) {
            printLoopLine(graph_.pedigreeId());
            store_.loopFound = true;
            store_.hasLoops = true;
            return false;
        }
        person->blueMark = true;
        return true;
    }

    const FamilyGraph& graph_;
    Pedigrees& store_;
};

// Whether the pedigree has a marriage or consanguinity loop, which the
// engine can only take once it is broken. Persons and matings (one node per
// father and mother pair) joined by parent-mating and mating-child links
// form a forest exactly when there is no loop, so a link between two nodes
// already joined closes one. This depends on the families alone, not on how
// the persons are numbered or in which order a walk meets them (a walk that
// follows only a partner's father misses loops through the mother's other
// marriages). Parents missing from the pedigree are left out: they are
// reported as errors of their own.
bool hasMarriageOrConsanguinityLoop(const FamilyGraph& graph) {
    std::unordered_map<const Person*, std::size_t> node;
    for (const Person* person : graph.persons()) {
        node.emplace(person, node.size());
    }
    std::vector<std::size_t> root(node.size());
    std::iota(root.begin(), root.end(), std::size_t{0});
    const auto find = [&root](std::size_t x) {
        while (root[x] != x) {
            root[x] = root[root[x]];
            x = root[x];
        }
        return x;
    };
    // False when the two were joined already: the link closes a loop.
    const auto join = [&root, &find](std::size_t a, std::size_t b) {
        a = find(a);
        b = find(b);
        if (a == b) {
            return false;
        }
        root[a] = b;
        return true;
    };
    std::map<std::pair<std::string, std::string>, std::size_t> matings;
    for (const Person* child : graph.persons()) {
        if (isFounder(*child)) {
            continue;
        }
        const auto [mating, isNew] =
            matings.emplace(std::make_pair(child->fatherId, child->motherId), root.size());
        if (isNew) {
            root.push_back(root.size());
            const bool oneParentId = child->fatherId == child->motherId;
            for (const std::string* parentId : {&child->fatherId, &child->motherId}) {
                const Person* parent = *parentId == "0" ? nullptr : graph.find(*parentId);
                if (parent != nullptr && !join(node.at(parent), mating->second)) {
                    return true;
                }
                if (oneParentId) {
                    break;
                }
            }
        }
        if (!join(node.at(child), mating->second)) {
            return true;
        }
    }
    return false;
}

std::string blockHead(const std::string& pedigreeId) {
    return "\n#### Pedigree " + pedigreeId + " ####\n";
}

}  // namespace

bool Pedigrees::writeFamilyErrors(const std::string& fileName) {
    if (!checkFamilies()) {
        return false;
    }
    if (!writeTextFile(fileName, familyErrorText.str())) {
        reportFileLost = true;
        return true;
    }
    familyErrorText.str("");
    return true;
}

bool Pedigrees::checkFamilies() {
    familyErrorsFound = false;
    pedigreeNotWhole = false;
    loopFound = false;
    if (pedigreeTree == nullptr) {
        return false;
    }
    familyErrorText.clear();
    checkPedigreeTopology(pedigreeTree->root);
    if (!pedigreeNotWhole) {
        pedigreeCheckFamilies(pedigreeTree->root);
    }
    std::cout << familyErrorText.str() << std::flush;
    return pedigreeNotWhole || familyErrorsFound;
}

void Pedigrees::checkPedigreeTopology(Pedigree* root) {
    if (root == nullptr || root->key == "NIL") {
        return;
    }
    checkPedigreeTopology(root->left);
    if (RBTree<Person>* persons = root->getPersonTree()) {
        findParentlessPersonFromPedigree(persons->root);
        if (topologyStartPerson != nullptr) {
            topologyStartPerson->greyMark = true;
            topologyVisitCount = 1;
            findNotGreyChildsForPerson(persons->root, topologyStartPerson, root,
                                       topologyStartPerson->personId);
            if (topologyVisitCount != persons->count) {
                pedigreeNotWhole = true;
                familyErrorText << blockHead(root->pedigreeId)
                                << "Error: this pedigree is not whole\n";
            }
        }
        topologyStartPerson = nullptr;
        topologyVisitCount = 0;
    }
    checkPedigreeTopology(root->right);
}

void Pedigrees::findParentlessPersonFromPedigree(Person* root) {
    if (isLeaf(root) || topologyStartPerson != nullptr) {
        return;
    }
    findParentlessPersonFromPedigree(root->left);
    if (topologyStartPerson == nullptr && isFounder(*root)) {
        topologyStartPerson = root;
        return;
    }
    findParentlessPersonFromPedigree(root->right);
}

void Pedigrees::findNotGreyChildsForPerson(Person* root, Person* person, Pedigree* pedigree,
                                           const std::string& /*personId*/) {
    const FamilyGraph graph(root, pedigree);
    TopologyWalk(graph, topologyVisitCount).fromChildren(person);
}

void Pedigrees::findNotGreyParentsForPerson(Person* root, Person* person, Pedigree* pedigree,
                                            const std::string& /*personId*/) {
    const FamilyGraph graph(root, pedigree);
    TopologyWalk(graph, topologyVisitCount).fromParents(person);
}

void Pedigrees::pedigreeCheckFamilies(Pedigree* root) {
    if (root == nullptr || root->key == "NIL") {
        return;
    }
    pedigreeCheckFamilies(root->left);
    if (RBTree<Person>* persons = root->getPersonTree()) {
        if (persons->count < 3) {
            familyErrorText << blockHead(root->pedigreeId)
                            << "Error: pedigree contains less than 3 members\n";
            familyErrorsFound = true;
        }
        personCheckFamilies(persons->root, root);
        const bool wasFound = familyErrorsFound;
        familyErrorsFound = false;
        findAncestryCycles(root);
        const bool cycleFound = familyErrorsFound;
        familyErrorsFound = wasFound || cycleFound;
        loopFound = false;
        // Someone who is their own ancestor makes every walk meet persons
        // twice; the cycle is reported instead of a loop.
        if (!cycleFound) {
            findPedigreeLoops(persons->root, root);
        }
    }
    pedigreeCheckFamilies(root->right);
}

void Pedigrees::personCheckFamilies(Person* root, Pedigree* pedigree) {
    if (isLeaf(root)) {
        return;
    }
    personCheckFamilies(root->left, pedigree);
    const Person& child = *root;
    if (!isFounder(child)) {
        const std::string& fatherId = child.fatherId;
        const std::string& motherId = child.motherId;
        const auto report = [&](const std::string& line, const std::string& father) {
            familyErrorText << blockHead(child.pedigreeId) << line << "Father " << father
                            << " Mother " << motherId << "\n"
                            << "Child " << child.personId << "\n";
            familyErrorsFound = true;
        };
        if (fatherId == "0") {
            report("Error:   father id is 0 but mother id is not\n", fatherId);
        } else if (const Person* father = pedigree->getPerson(fatherId)) {
            if (father->sex != "1") {
                report("Error: father found but gender wrong\n", father->personId);
            }
            if (child.personId == father->personId) {
                report("Error:  child id is same as father id\n", father->personId);
            }
        } else {
            report("Error:  father is not found\n", fatherId);
        }
        if (motherId == "0") {
            report("Error: mother id is 0 but father id is not\n", fatherId);
        } else if (const Person* mother = pedigree->getPerson(motherId)) {
            if (mother->sex != "2") {
                report("Error:  mother found but gender wrong\n", fatherId);
            }
            if (child.personId == mother->personId) {
                report("Error:  child id is same as mother id \n", fatherId);
            }
        } else {
            report("Error: mother is not found\n", fatherId);
        }
    }
    personCheckFamilies(root->right, pedigree);
}

void Pedigrees::findAncestryCycles(Pedigree* pedigree) {
    RBTree<Person>* persons = pedigree->getPersonTree();
    if (persons == nullptr) {
        return;
    }
    const FamilyGraph graph(persons->root, pedigree);
    // A person naming itself as parent is already reported as such.
    const auto parentsOf = [&graph](const Person* person) {
        std::vector<Person*> parents;
        for (const std::string& id : {person->fatherId, person->motherId}) {
            Person* parent = id == "0" ? nullptr : graph.find(id);
            if (parent != nullptr && parent != person) {
                parents.push_back(parent);
            }
        }
        return parents;
    };
    enum class State { Unseen, OnPath, Done };
    std::unordered_map<const Person*, State> state;
    struct Frame {
        Person* person;
        std::vector<Person*> parents;
        std::size_t next;
    };
    for (Person* start : graph.persons()) {
        if (state[start] != State::Unseen) {
            continue;
        }
        std::vector<Frame> path{{start, parentsOf(start), 0}};
        state[start] = State::OnPath;
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.next == frame.parents.size()) {
                state[frame.person] = State::Done;
                path.pop_back();
                continue;
            }
            Person* parent = frame.parents[frame.next++];
            if (state[parent] == State::OnPath) {
                familyErrorText << blockHead(parent->pedigreeId)
                                << "Error: person is their own ancestor\n"
                                << "Father " << parent->fatherId << " Mother " << parent->motherId
                                << "\n"
                                << "Child " << parent->personId << "\n";
                familyErrorsFound = true;
                return;
            }
            if (state[parent] == State::Unseen) {
                state[parent] = State::OnPath;
                path.push_back({parent, parentsOf(parent), 0});
            }
        }
    }
}

void Pedigrees::findPedigreeLoops(Person* root, Pedigree* pedigree) {
    const FamilyGraph graph(root, pedigree);
    if (hasMarriageOrConsanguinityLoop(graph)) {
        printLoopLine(graph.pedigreeId());
        loopFound = true;
        hasLoops = true;
        loopedPedigreeIds.insert(pedigree->pedigreeId);
    }
}

bool Pedigrees::takeOverFamilyChecks() {
    if (validatedStore == nullptr || validatedStore->pedigreeTree == nullptr ||
        pedigreeTree == nullptr) {
        return false;
    }
    std::vector<Pedigree*> pedigrees;
    collectInOrder(pedigreeTree->root, pedigrees);
    std::vector<const Pedigree*> looped;
    for (const Pedigree* pedigree : pedigrees) {
        const Pedigree* original = validatedStore->pedigreeTree->find(pedigree->originalPedigreeId);
        const RBTree<Person>* persons = pedigree->getPersonTree();
        const RBTree<Person>* originalPersons =
            original != nullptr ? original->getPersonTree() : nullptr;
        if (persons == nullptr || originalPersons == nullptr ||
            persons->count != originalPersons->count) {
            return false;
        }
        if (validatedStore->loopedPedigreeIds.count(original->pedigreeId) != 0) {
            looped.push_back(pedigree);
        }
    }
    familyErrorsFound = false;
    pedigreeNotWhole = false;
    for (const Pedigree* pedigree : looped) {
        printLoopLine(pedigree->pedigreeId);
        hasLoops = true;
        loopedPedigreeIds.insert(pedigree->pedigreeId);
    }
    return true;
}

void Pedigrees::resetBlueColors(Person* root) {
    if (isLeaf(root)) {
        return;
    }
    resetBlueColors(root->left);
    root->blueMark = false;
    resetBlueColors(root->right);
}

void Pedigrees::findEveryChildForFounderOrPerson(Person* root, Pedigree* pedigree, Person* person) {
    const FamilyGraph graph(root, pedigree);
    LoopSearch(graph, *this).descend(person);
}

void Pedigrees::findPartner(Person* root, Pedigree* pedigree, Person* person, Person* child) {
    const FamilyGraph graph(root, pedigree);
    LoopSearch(graph, *this).partner(person, child);
}

void Pedigrees::findEveryChildForPartner(Person* root, Pedigree* pedigree, Person* partner,
                                         Person* person) {
    const FamilyGraph graph(root, pedigree);
    LoopSearch(graph, *this).partnerChildren(partner, person);
}

void Pedigrees::findEveryChildForPartnersParents(Person* root, Pedigree* pedigree,
                                                 Person* partner) {
    const FamilyGraph graph(root, pedigree);
    LoopSearch(graph, *this).partnerParents(partner);
}

void Pedigrees::findEveryChildForParentAndChild(Person* root, Pedigree* pedigree, Person* parent,
                                                Person* child) {
    const FamilyGraph graph(root, pedigree);
    LoopSearch(graph, *this).siblings(parent, child);
}
