#pragma once
#include <QCoro/QCoroTask>
#include <utility>

// Runs a coroutine to completion on a local event loop. Tests only.
template<typename T>
T runTask(QCoro::Task<T> task)
{
    if constexpr (std::is_void_v<T>)
        QCoro::waitFor(std::move(task));
    else
        return QCoro::waitFor(std::move(task));
}
