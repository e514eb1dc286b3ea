#include "speech/help/help_tree.h"

#include <QStringList>
#include <QTreeWidget>

void LoadHelpTree(QTreeWidget *tree, const QString &text)
{
    // path[d] is the last node placed at depth d.
    QList<QTreeWidgetItem *> path;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QString line = lines[number];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        qsizetype depth = 0;
        while (depth < line.size() &&
               (line[depth] == QLatin1Char(' ') || line[depth] == QLatin1Char('\t')))
            ++depth;
        const QString name = line.mid(depth).trimmed();
        if (name.isEmpty())
            continue;
        if (depth > path.size())
            throw EHelpTreeError(QStringLiteral("Invalid level (%1) for item \"%2\" in line %3")
                                     .arg(depth)
                                     .arg(name)
                                     .arg(number + 1));
        path.resize(depth);
        auto *item = depth == 0 ? new QTreeWidgetItem(tree) : new QTreeWidgetItem(path.back());
        item->setText(0, name);
        path.append(item);
    }
}
