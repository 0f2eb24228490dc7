<!DOCTYPE html>
<html lang="en">
<head>
	<meta charset="utf-8">
	<title><?php echo htmlspecialchars($title ?? 'Untitled', ENT_QUOTES, 'UTF-8'); ?></title>
</head>
<body>
<?php
	// Page content goes here.
	echo '<p>Hello, world!</p>';
?>
</body>
</html>
