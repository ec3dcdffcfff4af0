#include "cli/KQCliCommands.h"
#include "cli/KQCliContext.h"

// Placeholder until the scan lands: it reports the arguments it would scan.
int kqCliScan(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments, {QStringLiteral("account"), QStringLiteral("kinds"), QStringLiteral("mask")},
                              {QStringLiteral("json")});
    Q_UNUSED(args);
    context.err(QStringLiteral("scan is not available yet\n"));
    return 1;
}
