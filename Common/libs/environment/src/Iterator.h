// Walks element children or attributes through their Next()/Prev() links.
#ifndef ENV_ITERATOR_H
#define ENV_ITERATOR_H

namespace Env {

// The end iterator holds null. Stepping from the end stays at the end, so a
// loop that overshoots ends instead of dereferencing null.
template <typename T> class Iterator {
public:
    Iterator(T* node = nullptr) : m_pNode(node) {}
    Iterator(const Iterator&) = default;
    Iterator& operator=(const Iterator&) = default;
    virtual ~Iterator() = default;

    T& operator*() const { return *m_pNode; }
    T* operator->() const { return m_pNode; }
    T* ptr() const { return m_pNode; }

    Iterator& operator++() {
        if (m_pNode)
            m_pNode = m_pNode->Next();
        return *this;
    }
    Iterator operator++(int) {
        Iterator previous(*this);
        ++*this;
        return previous;
    }
    Iterator& operator--() {
        if (m_pNode)
            m_pNode = m_pNode->Prev();
        return *this;
    }
    Iterator operator--(int) {
        Iterator previous(*this);
        --*this;
        return previous;
    }

    bool operator==(const Iterator& other) const { return m_pNode == other.m_pNode; }
    bool operator!=(const Iterator& other) const { return m_pNode != other.m_pNode; }

    T* m_pNode;
};

} // namespace Env

#endif
