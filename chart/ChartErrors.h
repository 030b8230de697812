#pragma once
// Errors raised by the chart engine, each carrying its French message.
#include <QString>
#include <stdexcept>

class ChartError : public std::runtime_error {
public:
    explicit ChartError(const QString &message) : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString &Message() const { return FMessage; }

private:
    QString FMessage;
};

// An index outside a list: "Indice de liste hors limites (%d)".
class EListError : public ChartError {
public:
    explicit EListError(int index)
        : ChartError(QStringLiteral("Indice de liste hors limites (%1)").arg(index)) {}
};

class ChartException : public ChartError {
public:
    using ChartError::ChartError;
};

class PieException : public ChartError {
public:
    using ChartError::ChartError;
};
