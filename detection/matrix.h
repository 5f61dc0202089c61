#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

// A rectangle of cells stored row by row: cell (posY, posX) is element sizeX * posY + posX.
// The cells start uninitialised. The matrix owns them and is not copied.
template<typename T>
class Matrix
{
public:
    class out_of_range : public std::out_of_range
    {
    public:
        out_of_range()
            : std::out_of_range("Matrix<T>::operator() (unsigned posY, unsigned poX) out of range")
        {}
    };

    // Visits one cell. The walks call visit() on the visitor's own type, so the visit of a final
    // visitor is a direct call that the compiler inlines into the loop.
    class Iterator
    {
    public:
        virtual ~Iterator() = default;
        virtual void visit(T& cell) = 0;

    protected:
        Iterator() = default;
        Iterator(const Iterator&) = default;
        Iterator& operator=(const Iterator&) = default;
    };

    Matrix(uint32_t sizeY, uint32_t sizeX)
        : sizeX(sizeX)
        , sizeY(sizeY)
    {
        if (sizeX == 0 || sizeY == 0)
            throw std::length_error("Matrix has no size");
        data.reset(new T[size_t(sizeX) * sizeY]);
    }

    Matrix(const Matrix&) = delete;
    Matrix& operator=(const Matrix&) = delete;

    uint32_t columns() const { return sizeX; }
    uint32_t rows() const { return sizeY; }

    T& operator()(uint32_t posY, uint32_t posX)
    {
        checkBounds(posY, posX);
        return data[size_t(sizeX) * posY + posX];
    }

    const T& operator()(uint32_t posY, uint32_t posX) const
    {
        checkBounds(posY, posX);
        return data[size_t(sizeX) * posY + posX];
    }

    // Visits every cell: rows from 0 outside, columns from 0 inside.
    template<class Visitor>
    void iterate(Visitor& visitor)
    {
        for (uint32_t posY = 0; posY < sizeY; ++posY)
            iterateRow(posY, visitor);
    }

    // Visits the cells of one row from column 0 on.
    template<class Visitor>
    void iterateRow(uint32_t posY, Visitor& visitor)
    {
        iterateRow(posY, 0, sizeX, visitor);
    }

    // Visits count cells of one row from column posX on.
    template<class Visitor>
    void iterateRow(uint32_t posY, uint32_t posX, uint32_t count, Visitor& visitor)
    {
        if (posY >= sizeY || posX > sizeX || count > sizeX - posX)
            throw out_of_range();
        T* const cells = data.get() + size_t(sizeX) * posY + posX;
        for (uint32_t i = 0; i < count; ++i)
            visitor.visit(cells[i]);
    }

    // Hands f each column of one row with its cell, for walks that only read.
    template<class F>
    void readRow(uint32_t posY, F&& f) const
    {
        if (posY >= sizeY)
            throw out_of_range();
        const T* const cells = data.get() + size_t(sizeX) * posY;
        for (uint32_t posX = 0; posX < sizeX; ++posX)
            f(posX, cells[posX]);
    }

private:
    void checkBounds(uint32_t posY, uint32_t posX) const
    {
        if (posY >= sizeY || posX >= sizeX)
            throw out_of_range();
    }

    uint32_t sizeX;
    uint32_t sizeY;
    std::unique_ptr<T[]> data;
};
