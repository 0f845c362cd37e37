// Base of classes with one process-wide instance.
#ifndef ENV_SINGLETON_H
#define ENV_SINGLETON_H

namespace Env {

// The instance is a function-local static, built on first use and destroyed
// at exit after every static object completed later. From then on
// GetInstance() answers null, so static objects destroyed after it can tell
// that it is gone. T must befriend Singleton<T> if its constructor is not public.
template <typename T> class Singleton {
public:
    static T* GetInstance() {
        if (!s_pInstance && !s_bDestroyed) {
            static T instance;
            s_pInstance = &instance;
        }
        return s_pInstance;
    }

protected:
    Singleton() = default;
    Singleton(const Singleton&) = default;
    Singleton& operator=(const Singleton&) = default;
    virtual ~Singleton() {
        s_pInstance = nullptr;
        s_bDestroyed = true;
    }

private:
    static T* s_pInstance;
    static bool s_bDestroyed;
};

template <typename T> T* Singleton<T>::s_pInstance = nullptr;
template <typename T> bool Singleton<T>::s_bDestroyed = false;

} // namespace Env

#endif
