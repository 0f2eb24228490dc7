<?php
declare(strict_types=1);

function main(array $arguments): int
{
	// ...
	return 0;
}

exit(main(array_slice($argv ?? [], 1)));
